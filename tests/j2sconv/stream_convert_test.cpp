// Stream conversion through the binary, where block boundaries and the
// carried lead byte show. (The block function on its own, at every level, is
// in fast_paths_test.cpp.)
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s.push_back(static_cast<char>(b));
    return s;
}

TEST(StreamFile, CarriedLeadBytesRecordsAndErrors) {
    const std::string a = bytes({0x82, 0xA0});  // JEF 0xA4A2
    // Without recSize, blocks of 16,380 bytes: the first ends on a lead byte.
    std::string big(16378, '\xC1'), bigOut(16378, 'A');
    big += '\x28';
    for (int i = 0; i < 9000; ++i) big += "\xA4\xA2", bigOut += a;
    big += bytes({0x29, 0xC1, 0x00, 0xC2, 0x28, 0xA4, 0xA2, 0xA4});  // ends on a lone lead byte
    bigOut += "A B" + a + " ";
    const struct {
        std::string in, recSize, output;
        long result;
        std::string log;
        std::vector<std::string> more;
    } cases[] = {
        // A lead byte at a record's end opens the next record, which keeps its length.
        {bytes({0x28, 0xA4, 0xA2, 0xA4, 0xA2, 0x29, 0xC1, 0xC2}), "4", a + "\r\n" + a + "A\r\nB\r\n", 3, "", {}},
        // Records of one byte: a kanji takes two rather than looping on its lead byte.
        {bytes({0x28, 0xA4, 0xA2, 0x29, 0xC1}), "1", "\r\n" + a + "\r\n\r\nA\r\n", 4, "", {}},
        {bytes({0x28, 0x29}), "2", "\r\n", 1, "", {}},
        // A shift-out taken as a trail byte, then a lone lead byte.
        {bytes({0x28, 0xFF, 0x29, 0xC1}), "0", "\x81\x40 ", -1,
         "JEF->シフトJIS 変換エラー(JEF=0xff29/2バイト目)\nJEF->シフトJIS 変換エラー(JEF=0xc1/4バイト目)\n", {}},
        {big, "0", bigOut, -1,
         "EBCDIC->JIS 変換エラー(EBCDIC=0x00/" + std::to_string(big.size() - 5) + "バイト目)\n"
         "JEF->シフトJIS 変換エラー(JEF=0xa4/" + std::to_string(big.size()) + "バイト目)\n",
         {}},
        // Only the first ten characters of the pattern path choose this mode.
        {bytes({0xC1, 0xC2}), "1", "A\r\nB\r\n", 2, "", {"_********_x.ptn"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recSize);
        const auto r = velk::test::runOnFile({"j2s", "1", "3", c.recSize}, c.in, "", c.more);
        EXPECT_EQ(r.output, c.output);
        EXPECT_TRUE(r.err.ends_with(velk::test::exitLine(c.result))) << r.err;
        EXPECT_EQ(r.log, c.log);
    }
}

}  // namespace
