// Whole files under patterns, through the binary: pattern choice, record
// boundaries, shift codes, buffer growth, the error log and hard failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/ebcdic.h"
#include "support/run_velk.h"

namespace {

using namespace velk;
using test::ebcdic;

// Large outputs: report where they part, not the whole text.
void expectSameBytes(const std::string& actual, const std::string& expected) {
    auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    EXPECT_TRUE(diff.first == actual.end() && diff.second == expected.end())
        << "sizes " << actual.size() << " and " << expected.size() << ", first difference at "
        << (diff.first - actual.begin());
}

TEST(RecordConvert, FilesUnderPatterns) {
    // Keyword K at 2 in the first two, a packed letter at 1 in the second; Z at 1 in the last.
    const std::string three = "2:K:XXX\n2:K:CXX\n1:Z:XXX,\n";
    const std::string log28and29 =
        "EBCDIC->JIS 変換エラー(EBCDIC=0x28/2バイト目)\nEBCDIC->JIS 変換エラー(EBCDIC=0x29/4バイト目)\n";
    const struct {
        const char* name;
        std::string pattern, in, optSkip, output;
        int status;
        std::string out, log;
    } cases[] = {
        {"surplus read with a short record is given back", "1:A:XX\n1:B:XXXX\n", ebcdic("AXBXXX"), "0",
         "AX\r\nBXXX\r\n", 0, "", ""},
        {"no keyword matches: the last pattern", "1:A:XX\n1:B:XXXX\n", ebcdic("CXXXAX"), "0",
         "CXXX\r\nAX\r\n", 0, "", ""},
        {"a skipped shift code moves the keyword", three, "\x28" + ebcdic("AKB"), "0", "AKB\r\n", 0, "", ""},
        {"a shift code kept as data does not", three, "\x28" + ebcdic("AKB"), "1", " AK,\r\nBXX,\r\n", 1, "",
         "EBCDIC->JIS 変換エラー(EBCDIC=0x28/1バイト目)\n"},
        {"nor one under a packed letter", three, "\x28" + ebcdic("KB"), "0", "?2KB\r\n", 0, "", ""},
        {"a keyword beyond a short record does not match", three, ebcdic("A"), "0", "AXX,\r\n", 0, "", ""},
        {"shift codes skipped", "XXXXX\n", "\xC1\x28\xC2\x29\xC3\xC4\xC5", "0", "ABCDE\r\n", 0, "", ""},
        {"shift codes kept as data", "XXXXX\n", "\xC1\x28\xC2\x29\xC3\xC4\xC5", "1", "A B C\r\nDEXXX\r\n", 1,
         "", log28and29},
        // Logged positions count from the start of the file, skipped shift codes included.
        {"positions in the file", "XNN\n", std::string("\xC1\xB0\xA1\x28\x00\xA1\xA0", 7), "0",
         "A\x88\x9F\r\n \x81\x40\r\n", 1, "",
         "EBCDIC->JIS 変換エラー(EBCDIC=0x00/5バイト目)\nJEF->シフトJIS 変換エラー(JEF=0xa1a0/6バイト目)\n"},
        {"shift codes beyond the buffer", "XX\n", "\xC1" + std::string(600000, '\x28') + "\xC2\xC3", "0",
         "AB\r\nCX\r\n", 0, "", ""},
        {"no pattern takes a byte", ",.\"\n", ebcdic("ABC"), "0", "", 0, "", ""},
        // Records before the failing one stay in the output.
        {"packed run too long", "1:A:XX\n1:B:X" + std::string(32, 'C') + "\n", ebcdic("AXBX"), "0", "AX\r\n", 2,
         "レコードパターンの COMP-3 数字の指定に誤りがあります\n", ""},
        {"pattern without data", "1:A:XX\n1:B:,\n", ebcdic("AXB"), "0", "AX\r\n", 2,
         "データの桁がないレコードパターンでは変換できません\n", ""},
        // Binary positions: the keyword scan takes their bytes as data, as it does packed ones.
        {"shift codes under binary letters do not move the keyword", "5:K:UUUUUUUUUX\n1:Z:XXXXX\n",
         "\x28\x29\x38\x28" + ebcdic("K"), "0", "673789992K\r\n", 0, "", ""},
        {"a value too long for its run", "X,BBBB\n", ebcdic("A") + "\x27\x10" + ebcdic("B") + "\xFF\xFF", "0",
         "A,+????\r\nB,-0001\r\n", 1, "", "BINARY 変換エラー(4桁を超える値/2バイト目)\n"},
        {"binary run too long", "1:A:XX\n1:B:X" + std::string(19, 'B') + "\n", ebcdic("AXBX"), "0", "AX\r\n", 2,
         "レコードパターンの BINARY 数字の指定に誤りがあります\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = test::runOnFile({"j2s", "1", "3", "1"}, c.in, c.pattern, {c.optSkip});
        EXPECT_EQ(r.status, c.status);
        expectSameBytes(r.output, c.output);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.log, c.log);
    }
}

// A full-width blank and a kanji, text, a zoned and a packed amount, over
// several read chunks, ending in a record cut inside its kanji.
TEST(RecordConvert, ManyRecordsAcrossReadChunks) {
    std::string in, expected;
    for (int i = 0; i < 40000; ++i) {
        char zoned[5], packed[6];
        std::snprintf(zoned, sizeof zoned, "%04d", i % 10000);
        std::snprintf(packed, sizeof packed, "%05d", i);
        in += "\xA1\xA1\xB0\xA1\x81" + ebcdic(i % 2 ? " " : "Z");
        for (int k = 0; k < 4; ++k) in += static_cast<char>((k == 3 && i % 3 == 0 ? 0xD0 : 0xF0) + zoned[k] - '0');
        for (int k = 0; k < 6; k += 2)
            in += static_cast<char>((packed[k] - '0') << 4 | (k < 4 ? packed[k + 1] - '0' : 0xC));
        expected += std::string("\"\x88\x9F\",a") + (i % 2 ? "" : "Z") + "," + (i % 3 == 0 ? "-" : "+") + zoned +
                    ",+" + std::string(packed, 3) + "." + std::string(packed + 3, 2) + "\r\n";
    }
    in += "\xA1\xA1\xB0";
    expected += "\"\",XX,SSSS,CCC.CC\r\n";  // both kanji become full-width blanks, then trimmed
    const auto r = test::runOnFile({"j2s", "1", "3", "1"}, in, "\"NNNN\",XX,SSSS,CCC.CC\n", {"0", "1"});
    EXPECT_EQ(r.status, 1);  // the lone lead byte at the end
    expectSameBytes(r.output, expected);
    EXPECT_EQ(r.log, "JEF->シフトJIS 変換エラー(JEF=0xb0/" + std::to_string(in.size()) + "バイト目)\n");
}

}  // namespace
