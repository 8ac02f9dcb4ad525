// The mkp command as a user runs it: files, messages, results, exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/run_velk.h"

namespace {

using velk::test::fileExists;
using velk::test::makeTempDir;
using velk::test::readFile;
using velk::test::runVelk;
using velk::test::writeFile;

std::string endLine(long result) {
    char text[64];
    std::snprintf(text, sizeof text, "\n終了コードは %ld です\n\n", result);
    return text;
}

TEST(RunMkp, WritesThePatternAndReturnsTheRecordLength) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/rec.cpy", "01 REC.\r\n05 A PIC X(3).\r\n05 B PIC S9(5)V99 COMP-3.\r\n");
    auto r = runVelk({"mkp", "1", "1", "1", dir + "/rec.cpy", dir + "/rec.ptn"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, endLine(7));
    EXPECT_EQ(readFile(dir + "/rec.ptn"), "\"XXX\",CCCCC.CC\n");

    r = runVelk({"mkp", "0", "0", "0", dir + "/rec.cpy", dir + "/rec.ptn"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(readFile(dir + "/rec.ptn"), "XXXCCCCC.CC\n");
}

TEST(RunMkp, FailuresEndWithTheirMessageAndCode) {
    const std::string dir = makeTempDir();
    const std::string ptn = dir + "/p.ptn";
    writeFile(dir + "/empty.cpy", "");
    writeFile(dir + "/bad.cpy", "01 REC.\n05 A PIC Q.\n");
    writeFile(dir + "/huge.cpy", "05 T OCCURS 99999.\n10 A PIC X(99999).\n");
    writeFile(dir + "/ok.cpy", "05 A PIC X.\n");
    const struct {
        std::string copyPath, ptnPath, out;
        long result;
    } cases[] = {
        {dir + "/none.cpy", ptn, "[" + dir + "/none.cpy]が見つかりません\n", -13},
        {dir + "/empty.cpy", ptn, "[" + dir + "/empty.cpy]のファイルサイズが 0 です\n", -18},
        {dir, ptn, dir + "がオープンできません\n", -13},
        {dir + "/bad.cpy", ptn,
         "[解析エラー]編集形式(属性)に[9],[X],[A],[N]以外が定義されています\n->05 A PIC Q.\n", -3},
        {dir + "/huge.cpy", ptn, "メモリ不足です\n", -30},
        {dir + "/ok.cpy", dir + "/no/such/dir/p.ptn", dir + "/no/such/dir/p.ptn" + "がオープンできません\n",
         -12},
        {dir + "/ok.cpy", "/dev/full", "/dev/fullの出力に失敗しました\n", -27},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copyPath);
        const auto r = runVelk({"mkp", "1", "0", "0", c.copyPath, c.ptnPath});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, endLine(c.result));
        EXPECT_FALSE(fileExists(ptn));  // no pattern after a copy-book fault
    }
}

TEST(RunMkp, BinaryItemsAreWrittenButReported) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/b.cpy", "01 R.\n05 A PIC 9(4) COMP.\n05 B PIC X.\n");
    writeFile(dir + "/b.ptn", "old");
    const auto r = runVelk({"mkp", "1", "1", "0", dir + "/b.cpy", dir + "/b.ptn"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "[未サポート]COMP(BINARY)は現在サポートしていません\n->05 A PIC 9(4) COMP.\n");
    EXPECT_EQ(r.err, endLine(-4));
    EXPECT_EQ(readFile(dir + "/b.ptn"), "XX,X\n");

    // A refused copy-book leaves an existing pattern file as it was.
    writeFile(dir + "/b.cpy", "01 R.\n05 A PIC X(3\n");
    EXPECT_EQ(runVelk({"mkp", "0", "1", "0", dir + "/b.cpy", dir + "/b.ptn"}).status, 2);
    EXPECT_EQ(readFile(dir + "/b.ptn"), "XX,X\n");
}

}  // namespace
