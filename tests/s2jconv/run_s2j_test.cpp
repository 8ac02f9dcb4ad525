// The s2j command end to end: files, messages, result codes, exit status.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

using velk::test::exitLine;
using velk::test::readFile;
using velk::test::writeFile;

TEST(RunS2j, ConvertsReportsAndCounts) {
    std::string tabs(150, '\t'), capped;  // one error line each, up to a hundred
    for (int col = 1; col <= 100; ++col)
        capped += "JIS->EBCDIC 変換エラー(JIS=0x09,行=1,桁=" + std::to_string(col) + ")\n";
    const std::string errors = "\x88\x9F\r\nab\x87\x7E\x88";
    // The dangling first byte at the end closes the run before its substitute.
    const std::string errorsOut = "\x28\xB0\xA1\x29\x40\x40\x28\x40\x40\x29\x40";
    const struct {
        const char* name;
        std::vector<std::string> options;
        std::string in, output, out, err;
        int status;
    } cases[] = {
        // No progress text: standard error is not a terminal.
        {"line feeds counted", {"1", "1", "0"}, "ABC\r\nDEF\n", "\xC1\xC2\xC3\xC4\xC5\xC6", "", exitLine(2), 0},
        {"errors reported", {"1", "1", "1"}, errors, errorsOut,
         "JIS->EBCDIC 変換エラー(JIS=0x61,行=2,桁=1)\n"
         "JIS->EBCDIC 変換エラー(JIS=0x62,行=2,桁=2)\n"
         "シフトJIS->JEF 変換エラー(SJIS=0x877e,行=2,桁=3)\n"
         "シフトJIS->JEF 変換エラー(SJIS=0x88,行=2,桁=5)\n",
         exitLine(-1), 1},
        {"silent under optLog 0", {"0", "1", "1"}, errors, errorsOut, "", "", 1},
        {"report capped", {"1", "4", "0"}, tabs, std::string(150, '\x40'),
         capped + "変換エラーが100件を超えています\n", exitLine(-1), 1},
        {"copy notice always shown", {"0", "9", "0"}, "a\t\xB1", "a\t\xB1", "",
         "\nJISコードは変換されずにJEFファイルに出力されます\n\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> options = {"s2j"};
        options.insert(options.end(), c.options.begin(), c.options.end());
        const auto r = velk::test::runOnFile(options, c.in);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.output, c.output);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST(RunS2j, FailuresKeepWhatIsNotTheirs) {
    const struct {
        const char* name;
        std::string in, out;  // paths, relative to the test directory unless absolute
        std::string message;  // %s stands for the directory
        int result;
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = velk::test::makeTempDir();
        ::mkdir((dir + "/sub").c_str(), 0700);
        writeFile(dir + "/empty", "");
        writeFile(dir + "/text", "ABC");
        writeFile(dir + "/out", "keep");
        const std::string out = c.out[0] == '/' ? c.out : dir + "/" + c.out;
        const auto r = velk::test::runVelk({"s2j", "1", "1", "0", dir + "/" + c.in, out});
        std::string message = c.message;
        if (auto at = message.find("%s"); at != std::string::npos) message.replace(at, 2, dir);
        EXPECT_EQ(r.out, message);
        EXPECT_EQ(r.err, exitLine(c.result));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(readFile(dir + "/text"), "ABC");
        // Truncated only once the input is known to be good.
        EXPECT_EQ(readFile(dir + "/out"), c.out == "out" && c.result == -15 ? "" : "keep");
    }
}

}  // namespace
