// The mkp command as a user runs it: files, messages, results, exit status;
// then the sample copy-book to CSV, mkp writing the pattern and j2s
// converting mainframe records through it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

using velk::test::readFile;
using velk::test::writeFile;

TEST(RunMkp, RunsEndWithTheirMessageCodeAndPattern) {
    const std::string dir = velk::test::makeTempDir();
    const std::string ptn = dir + "/p.ptn";
    writeFile(dir + "/rec.cpy", "01 REC.\r\n05 A PIC X(3).\r\n05 B PIC S9(5)V99 COMP-3.\r\n");
    writeFile(dir + "/empty.cpy", "");
    writeFile(dir + "/bad.cpy", "01 REC.\n05 A PIC Q.\n");
    writeFile(dir + "/huge.cpy", "05 T OCCURS 99999.\n10 A PIC X(99999).\n");
    const struct {
        std::string copyPath, ptnPath, optLog, optCsv, optQuote, out;
        long result;
        const char* pattern;  // the pattern file afterwards; it held "old"
    } cases[] = {
        {dir + "/rec.cpy", ptn, "1", "1", "1", "", 7, "\"XXX\",CCCCC.CC\n"},
        {dir + "/rec.cpy", ptn, "0", "0", "0", "", 0, "XXXCCCCC.CC\n"},
        {dir + "/none.cpy", ptn, "1", "0", "0", "[" + dir + "/none.cpy]が見つかりません\n", -13, "old"},
        {dir + "/empty.cpy", ptn, "1", "0", "0", "[" + dir + "/empty.cpy]のファイルサイズが 0 です\n", -18, "old"},
        {dir, ptn, "1", "0", "0", dir + "がオープンできません\n", -13, "old"},
        {dir + "/bad.cpy", ptn, "1", "0", "0",
         "[解析エラー]編集形式(属性)に[9],[X],[A],[N]以外が定義されています\n->05 A PIC Q.\n", -3, "old"},
        {dir + "/huge.cpy", ptn, "1", "0", "0", "メモリ不足です\n", -30, "old"},
        {dir + "/rec.cpy", dir + "/no/p.ptn", "1", "0", "0", dir + "/no/p.ptnがオープンできません\n", -12, nullptr},
        {dir + "/rec.cpy", "/dev/full", "1", "0", "0", "/dev/fullの出力に失敗しました\n", -27, nullptr},
        {dir + "/rec.cpy", dir + "/./rec.cpy", "1", "0", "0", dir + "/./rec.cpyがオープンできません\n", -12, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copyPath + " " + c.ptnPath);
        writeFile(ptn, "old");
        const auto r = velk::test::runVelk({"mkp", c.optLog, c.optCsv, c.optQuote, c.copyPath, c.ptnPath});
        EXPECT_EQ(r.status, c.result < 0 ? 2 : 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.optLog == "1" ? velk::test::exitLine(c.result) : "");
        if (c.pattern) {
            EXPECT_EQ(readFile(ptn), c.pattern);
        }
    }
    EXPECT_EQ(readFile(dir + "/rec.cpy"), "01 REC.\r\n05 A PIC X(3).\r\n05 B PIC S9(5)V99 COMP-3.\r\n");
}

// The demo's job: Shift-JIS sample -> JEF by s2j, copy-book -> pattern by
// mkp, and back to CSV by j2s, trimming the ends of the fields.
TEST(CopyBookToCsv, SampleCustomersRoundTrip) {
    const std::string samples = VELK_SAMPLES_DIR;
    const auto jef = velk::test::runOnFile({"s2j", "0", "2", "0"}, readFile(samples + "/customer.txt"));
    ASSERT_EQ(jef.output.size(), 4u * 47);
    const auto ptn = velk::test::runOnFile({"mkp", "1", "1", "1"}, readFile(samples + "/customer.cpy"));
    EXPECT_EQ(ptn.err, velk::test::exitLine(47));
    const auto csv = velk::test::runOnFile({"j2s", "0", "1", "1"}, jef.output, ptn.output, {"1", "3"});
    ASSERT_EQ(csv.status, 0) << csv.out;
    EXPECT_EQ(csv.output,
              "\"C0001\",\"山田太郎\",\"ﾔﾏﾀﾞ ﾀﾛｳ\",+00123.45,012,20240115,20240302\r\n"
              "\"C0002\",\"佐藤花子\",\"ｻﾄｳ ﾊﾅｺ\",-00005.05,003,20231201,20240220\r\n"
              "\"C0003\",\"鈴木一\",\"ｽｽﾞｷ ｲﾁ\",+12345.60,127,20240228,20240301\r\n"
              "\"C0004\",\"高橋誠\",\"ﾀｶﾊｼ ﾏｺﾄ\",-00999.00,000,00000000,00000000\r\n");
}

}  // namespace
