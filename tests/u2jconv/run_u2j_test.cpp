// The u2j command end to end: malformed and unmappable input, each with its
// message, substitute and result, and what it shares with s2j.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

using velk::test::exitLine;

// Message lines, as u2j writes them (decoded here; the binary writes Shift-JIS).
std::string message(const std::string& what, const std::string& value, int line, int column) {
    return what + " 変換エラー(" + value + ",行=" + std::to_string(line) + ",桁=" + std::to_string(column) +
           ")\n";
}
std::string bad(const std::string& hex, int line, int column) {
    return message("UTF-8", "不正なバイト列=0x" + hex, line, column);
}
std::string noJef(const std::string& cp, int line, int column) { return message("UTF-8->JEF", "U+" + cp, line, column); }
std::string noEbcdic(const std::string& cp, int line, int column) {
    return message("UTF-8->EBCDIC", "U+" + cp, line, column);
}

TEST(RunU2j, MalformedAndUnmappableInput) {
    // 漢 is E6 BC A2 -> JEF B4C1.
    const std::string kan = "\xE6\xBC\xA2";
    const struct {
        const char* name;
        std::string in;
        int optOther;
        std::string output, messages;
        int result;
    } cases[] = {
        {"byte-order mark skipped, not counted", "\xEF\xBB\xBF" "A\t", 0, "\xC1\x40",
         noEbcdic("0009", 1, 2), -1},
        {"mark later on is a character without a form", "A\xEF\xBB\xBF", 0, "\xC1\x40\x40",
         noJef("FEFF", 1, 2), -1},
        {"lone continuation byte", "A\x80" "B", 0, "\xC1\x40\xC2", bad("80", 1, 2), -1},
        {"overlong two-byte form: two errors", "\xC0\xAF", 0, "\x40\x40",
         bad("c0", 1, 1) + bad("af", 1, 2), -1},
        {"overlong three-byte form", "\xE0\x80\xAF", 0, "\x40\x40\x40",
         bad("e0", 1, 1) + bad("80", 1, 2) + bad("af", 1, 3), -1},
        {"surrogate", "\xED\xA0\x80", 0, "\x40\x40\x40",
         bad("ed", 1, 1) + bad("a0", 1, 2) + bad("80", 1, 3), -1},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", 0, "\x40\x40\x40\x40",
         bad("f4", 1, 1) + bad("90", 1, 2) + bad("80", 1, 3) + bad("80", 1, 4), -1},
        {"F5 and FF never start", "\xF5\xFF", 0, "\x40\x40", bad("f5", 1, 1) + bad("ff", 1, 2), -1},
        {"start without its continuation", "\xE3\x81" "A\n" + kan, 1,
         "\x40\xC1\x28\xB4\xC1\x29", bad("e381", 1, 1), -1},
        {"cut by the end closes the run first", "A" + kan + "\xE6\xBC", 1,
         "\xC1\x28\xB4\xC1\x29\x40", bad("e6bc", 1, 3), -1},
        {"no Shift-JIS form: two spaces inside the run", kan + "\xC3\xA9" + kan, 1,
         "\x28\xB4\xC1\x40\x40\xB4\xC1\x29", noJef("00E9", 1, 2), -1},
        {"four-byte character without a form", "\xF0\x9F\x98\x80" "A", 1,
         "\x28\x40\x40\x29\xC1", noJef("1F600", 1, 1), -1},
        {"Shift-JIS form without JEF (0x877E)", "\xE3\x8B\xBF", 0, "\x40\x40",
         noJef("32FF", 1, 1), -1},
        {"columns count characters across lines", kan + kan + "\r\n" + kan + "a", 0,
         "\xB4\xC1\xB4\xC1\xB4\xC1\x40", noEbcdic("0061", 2, 2), -1},
        {"half-width katakana and CP932 mappings", "\xEF\xBD\xB1\xEF\xBC\xBC\xE3\x80\x9C", 0,
         "\x81\xA1\xC0\xA1\xC1", "", 0},
        {"line feeds counted", "A\nB\r\n", 0, "\xC1\xC2", "", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = velk::test::runOnFile({"u2j", "1", "1", std::to_string(c.optOther)}, c.in);
        EXPECT_EQ(r.output, c.output);
        EXPECT_EQ(r.out, c.messages);
        EXPECT_EQ(r.err, exitLine(c.result));
        EXPECT_EQ(r.status, c.result == -1 ? 1 : 0);
    }
}

TEST(RunU2j, SharesTheS2jRules) {
    std::string many, capped;  // reports capped at a hundred, all replaced
    for (int k = 1; k <= 120; ++k) many += "\xC3\xA9";
    for (int col = 1; col <= 100; ++col) capped += noJef("00E9", 1, col);
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::string in, output, out;
        int status;
    } cases[] = {
        {"report capped", {"u2j", "1", "4", "0"}, many, std::string(240, '\x40'),
         capped + "変換エラーが100件を超えています\n", 1},
        {"silent under optLog 0", {"u2j", "0", "1", "0"}, "\x80", "\x40", "", 1},
        {"optConv 2 upper-cases", {"u2j", "0", "2", "0"}, "ab", "\xC1\xC2", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = velk::test::runOnFile(c.args, c.in);
        EXPECT_EQ(r.output, c.output);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
    }
    const std::string dir = velk::test::makeTempDir();
    velk::test::writeFile(dir + "/empty", "");
    const auto empty = velk::test::runVelk({"u2j", "1", "1", "0", dir + "/empty", dir + "/out"});
    EXPECT_EQ(empty.out, "[" + dir + "/empty]のファイルサイズが 0 です\n");
    EXPECT_EQ(empty.status, 2);
}

}  // namespace
