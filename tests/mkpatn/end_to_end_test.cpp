// Copy-book to CSV: mkp writes the pattern, j2s converts mainframe records
// through it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/run_velk.h"
#include "tblknj/kanji_tables.h"

namespace {

using velk::test::makeTempDir;
using velk::test::readFile;
using velk::test::runVelk;
using velk::test::writeFile;

// JEF bytes of a Shift-JIS kanji string (the literal is Shift-JIS here).
std::string jef(const std::string& sjis) {
    std::string out;
    for (std::size_t i = 0; i + 1 < sjis.size(); i += 2) {
        const auto& e = velk::sjis2jef[static_cast<std::uint8_t>(sjis[i]) * 256 +
                                       static_cast<std::uint8_t>(sjis[i + 1])];
        out += static_cast<char>(e[0]);
        out += static_cast<char>(e[1]);
    }
    return out;
}

// The demo's job: Shift-JIS sample -> JEF by s2j, copy-book -> pattern by
// mkp, and back to CSV by j2s, trimming the ends of the fields.
TEST(EndToEnd, SampleCustomersRoundTrip) {
    const std::string dir = makeTempDir();
    const std::string samples = VELK_SAMPLES_DIR;
    ASSERT_EQ(runVelk({"s2j", "0", "2", "0", samples + "/customer.txt", dir + "/c.jef"}).status, 0);
    ASSERT_EQ(readFile(dir + "/c.jef").size(), 4u * 47);

    auto r = runVelk({"mkp", "1", "1", "1", samples + "/customer.cpy", dir + "/c.ptn"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.err, "\n終了コードは 47 です\n\n");

    r = runVelk({"j2s", "0", "1", "1", dir + "/c.jef", dir + "/c.csv", dir + "/c.ptn", "1", "3"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readFile(dir + "/c.csv"),
              "\"C0001\",\"山田太郎\",\"ﾔﾏﾀﾞ ﾀﾛｳ\",+00123.45,012,20240115,20240302\r\n"
              "\"C0002\",\"佐藤花子\",\"ｻﾄｳ ﾊﾅｺ\",-00005.05,003,20231201,20240220\r\n"
              "\"C0003\",\"鈴木一\",\"ｽｽﾞｷ ｲﾁ\",+12345.60,127,20240228,20240301\r\n"
              "\"C0004\",\"高橋誠\",\"ﾀｶﾊｼ ﾏｺﾄ\",-00999.00,000,00000000,00000000\r\n");
}

// A header and a detail layout over one record area: each pattern line gets
// a keyword prefix naming its record type before j2s can choose between them.
TEST(EndToEnd, RedefinedLayoutsChosenByKeyword) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/trade.cpy",
              "       01  TRADE-REC.\n"
              "           05  REC-TYPE        PIC X.\n"
              "           05  HEADER.\n"
              "               10  TRADE-DATE  PIC 9(8).\n"
              "               10  BRANCH      PIC X(3).\n"
              "           05  DETAIL REDEFINES HEADER.\n"
              "               10  ITEM-NAME   PIC N(2).\n"
              "               10  QTY         PIC S9(3) COMP-3.\n"
              "               10  PRICE       PIC S9(5)V9(2)\n"
              "                               USAGE PACKED-DECIMAL.\n"
              "               10  FILLER      PIC X.\n");
    auto r = runVelk({"mkp", "0", "1", "1", dir + "/trade.cpy", dir + "/trade.ptn"});
    ASSERT_EQ(r.status, 0);
    const std::string pattern = readFile(dir + "/trade.ptn");
    ASSERT_EQ(pattern, "\"X\",99999999,\"XXX\"\n\"X\",\"NNNN\",CCC,CCCCC.CC,\"X\"\n");
    const std::size_t split = pattern.find('\n') + 1;
    writeFile(dir + "/keyed.ptn",
              "1:H:" + pattern.substr(0, split) + "1:D:" + pattern.substr(split));

    const std::string data = std::string("\xC8\xF2\xF0\xF2\xF4\xF0\xF4\xF0\xF1\xE3\xD2\xE8") +
                             "\xC4" + jef("米茶") + std::string("\x01\x2C\x12\x34\x56\x7D\x40", 7) +
                             "\xC4" + jef("塩　") + std::string("\x00\x5C\x00\x00\x09\x9C\x40", 7);
    ASSERT_EQ(data.size(), 36u);
    writeFile(dir + "/trade.jef", data);
    r = runVelk({"j2s", "0", "3", "1", dir + "/trade.jef", dir + "/trade.csv", dir + "/keyed.ptn"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readFile(dir + "/trade.csv"),
              "\"H\",20240401,\"TKY\"\r\n"
              "\"D\",\"米茶\",+012,-12345.67,\" \"\r\n"
              "\"D\",\"塩　\",+005,+00000.99,\" \"\r\n");
}

}  // namespace
