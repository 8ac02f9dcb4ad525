// The code tables, every byte by fingerprint: the entries chosen by a rule
// where one code has two partners (a2eLower['|'], the shared and exchanged
// kanji codes) as much as those read from a chart.
#include <gtest/gtest.h>

#include <string>

#include "support/run_velk.h"
#include "tblank/single_byte_tables.h"
#include "tblknj/kanji_tables.h"

namespace {

using namespace velk;

template <typename Table>
std::string bytesOf(const Table& table) {
    return {reinterpret_cast<const char*>(table.data()), sizeof table};
}

TEST(CodeTables, Fingerprints) {
    const struct {
        const char* name;
        std::string bytes;
        const char* sha256;
    } cases[] = {
        {"sjis2jef", bytesOf(sjis2jef), "91263927b646389e0af980535285c3185ccedebf0a1af3d779e6ae8ffc5eb4df"},
        {"jef2sjis", bytesOf(jef2sjis), "f110bf26e21f489df44d12015b74fbc84422898ffea2e45c5cd99fd0b0e86d34"},
        {"e2aKana", bytesOf(e2aKana), "964b8ef86fa5956041850f098ac319f740b10d1cd356a2079a8a9f07898115ae"},
        {"e2aLower", bytesOf(e2aLower), "2121a609f4badd9905e59eed0662c8a0bcb2f7abdc3d4154611e26d02b120277"},
        {"e2aAscii", bytesOf(e2aAscii), "89d7a6a35efc931976e4998fd35067e43f896228a2b02717d993160e9985be41"},
        {"a2eKana", bytesOf(a2eKana), "366f4ca5889817483680eb001c310a9b159c9802453b30b301be7d1000c9e8ae"},
        {"a2eLower", bytesOf(a2eLower), "220db330faba57a64b8f2cdd4f459c9e1b38e920c3b6bcf5cd822a2820f558ca"},
        {"a2eAscii", bytesOf(a2eAscii), "1f0c0e1aa443137902ac634a8f673975ebefce68085380ed50e5a7da0480e592"},
    };
    for (const auto& c : cases) EXPECT_EQ(test::sha256Hex(c.bytes), c.sha256) << c.name;
}

}  // namespace
