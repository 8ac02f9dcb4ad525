// The s2j command end to end: files, messages, result codes, exit status.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

using velk::test::makeTempDir;
using velk::test::readFile;
using velk::test::runVelk;
using velk::test::writeFile;

std::string exitLine(long result) { return "\n終了コードは " + std::to_string(result) + " です\n\n"; }

TEST(RunS2j, CountsLineFeedsAndReportsErrorsUnderOptLogOneOnly) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/in", "ABC\r\nDEF\n");
    auto clean = runVelk({"s2j", "1", "1", "0", dir + "/in", dir + "/out"});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(readFile(dir + "/out"), "\xC1\xC2\xC3\xC4\xC5\xC6");
    EXPECT_EQ(clean.out, "");
    EXPECT_EQ(clean.err, exitLine(2));  // no progress text on a redirected stderr

    writeFile(dir + "/in", "\x88\x9F\r\nab\x87\x7E\x88");
    const std::string out = "\x28\xB0\xA1\x29\x40\x40\x28\x40\x40\x40\x29";
    auto loud = runVelk({"s2j", "1", "1", "1", dir + "/in", dir + "/out"});
    EXPECT_EQ(loud.status, 1);
    EXPECT_EQ(readFile(dir + "/out"), out);
    EXPECT_EQ(loud.out,
              "JIS->EBCDIC 変換エラー(JIS=0x61,行=2,桁=1)\n"
              "JIS->EBCDIC 変換エラー(JIS=0x62,行=2,桁=2)\n"
              "シフトJIS->JEF 変換エラー(SJIS=0x877e,行=2,桁=3)\n"
              "シフトJIS->JEF 変換エラー(SJIS=0x88,行=2,桁=5)\n");
    EXPECT_EQ(loud.err, exitLine(-1));
    auto quiet = runVelk({"s2j", "0", "1", "1", dir + "/in", dir + "/out"});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_EQ(readFile(dir + "/out"), out);
    EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST(RunS2j, CapsTheErrorReportAtOneHundred) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/in", std::string(150, '\t'));
    auto r = runVelk({"s2j", "1", "4", "0", dir + "/in", dir + "/out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(dir + "/out"), std::string(150, '\x40'));
    std::string expected;
    for (int col = 1; col <= 100; ++col)
        expected += "JIS->EBCDIC 変換エラー(JIS=0x09,行=1,桁=" + std::to_string(col) + ")\n";
    EXPECT_EQ(r.out, expected + "変換エラーが100件を超えています\n");
}

TEST(RunS2j, CopyNoticeGoesToStderrAlways) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/in", "a\t\xB1");
    auto r = runVelk({"s2j", "0", "9", "0", dir + "/in", dir + "/out"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(dir + "/out"), "a\t\xB1");
    EXPECT_EQ(r.err, "\nJISコードは変換されずにJEFファイルに出力されます\n\n");
}

// Blocks of 16380 bytes, with kanji first bytes on the block ends.
TEST(RunS2j, LargeFileIsTheSameWhateverTheBlocks) {
    const std::string dir = makeTempDir();
    std::string in(16379, 'A'), expected(16379, '\xC1');
    expected += '\x28';
    for (int i = 0; i < 20000; ++i) in += "\x88\x9F", expected += "\xB0\xA1";
    in += "\r\nB\t\x88";
    expected += "\x29\xC2\x40\x40";
    writeFile(dir + "/in", in);
    auto r = runVelk({"s2j", "1", "1", "1", dir + "/in", dir + "/out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readFile(dir + "/out"), expected);
    EXPECT_EQ(r.out,
              "JIS->EBCDIC 変換エラー(JIS=0x09,行=2,桁=2)\n"
              "シフトJIS->JEF 変換エラー(SJIS=0x88,行=2,桁=3)\n");
    EXPECT_EQ(r.err, exitLine(-1));
}

struct Failure {
    const char* name;
    std::string in, out;  // paths, relative to the test directory unless absolute
    std::string message;  // %s stands for the directory
    int result;
};

TEST(RunS2j, FailuresKeepWhatIsNotTheirs) {
    const Failure cases[] = {
        {"missing input", "none", "out", "[%s/none]が見つかりません\n", -10},
        {"input is a directory", "sub", "out",
         std::string("[%s/sub]のオープンに失敗しました(原因=") + std::strerror(EISDIR) + ")\n", -10},
        {"empty input", "empty", "out", "[%s/empty]のファイルサイズが 0 です\n", -15},
        {"output in a missing directory", "text", "none/out",
         std::string("[%s/none/out]のオープンに失敗しました(原因=") + std::strerror(ENOENT) + ")\n", -11},
        {"output is a directory", "text", "sub",
         std::string("[%s/sub]のオープンに失敗しました(原因=") + std::strerror(EISDIR) + ")\n", -11},
        {"output is the input", "text", "text",
         "[%s/text]のオープンに失敗しました(原因=入力ファイルと同じファイルです)\n", -11},
        {"write fails", "text", "/dev/full",
         std::string("(/dev/full)の書き込みでエラーが発生しました(原因=") + std::strerror(ENOSPC) + ")\n", -26},
    };
    for (const Failure& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = makeTempDir();
        ::mkdir((dir + "/sub").c_str(), 0700);
        writeFile(dir + "/empty", "");
        writeFile(dir + "/text", "ABC");
        if (c.out == "out") writeFile(dir + "/out", "keep");
        const std::string out = c.out[0] == '/' ? c.out : dir + "/" + c.out;
        auto r = runVelk({"s2j", "1", "1", "0", dir + "/" + c.in, out});
        std::string message = c.message;
        if (auto at = message.find("%s"); at != std::string::npos) message.replace(at, 2, dir);
        EXPECT_EQ(r.out, message);
        EXPECT_EQ(r.err, exitLine(c.result));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(readFile(dir + "/text"), "ABC");
        if (c.out == "out") {
            EXPECT_EQ(readFile(dir + "/out"), c.result == -15 ? "" : "keep");
        }
    }
}

}  // namespace
