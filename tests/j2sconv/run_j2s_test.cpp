// The j2s run: opening its files in order, its failure codes, mode choice and
// where conversion-error lines go.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/workers.h"
#include "support/run_velk.h"

namespace {

using velk::test::readFile;
using velk::test::runVelk;
using velk::test::writeFile;

std::string exitLine(int result) {
    return "\n終了コードは " + std::to_string(result) + " です\n\n";
}

TEST(RunJ2s, OpeningFailuresStopWithTheirCode) {
    const std::string dir = velk::test::makeTempDir();
    writeFile(dir + "/in.jef", "\xC1\xC2");
    writeFile(dir + "/empty.jef", "");
    writeFile(dir + "/keep.txt", "kept");
    writeFile(dir + "/empty.ptn", "");
    writeFile(dir + "/digits.ptn", "12\n");
    writeFile(dir + "/rec.ptn", "XX\n");
    const std::string sameFile = "]のオープンに失敗しました(原因=入力ファイルと同じファイルです)\n";
    struct Case {
        std::vector<std::string> args;
        std::string out;
        int result;
    } cases[] = {
        {{dir + "/none.jef", dir + "/keep.txt"}, "[" + dir + "/none.jef]が見つかりません\n", -11},
        {{dir, dir + "/keep.txt"}, "[" + dir + "]のオープンに失敗しました(原因=Is a directory)\n", -11},
        {{dir + "/empty.jef", dir + "/keep.txt"}, "[" + dir + "/empty.jef]のファイルサイズが 0 です\n", -16},
        {{dir + "/in.jef", dir + "/no/out.txt"},
         "[" + dir + "/no/out.txt]のオープンに失敗しました(原因=No such file or directory)\n", -10},
        {{dir + "/in.jef", dir + "/out1.txt", dir + "/none.ptn"}, "[" + dir + "/none.ptn]のオープンに失敗しました\n", -12},
        {{dir + "/in.jef", dir + "/out1.txt", dir}, "[" + dir + "]のオープンに失敗しました\n", -12},
        {{dir + "/in.jef", dir + "/out2.txt", dir + "/empty.ptn"},
         "[" + dir + "/empty.ptn]のファイルサイズが 0 です\n", -17},
        {{dir + "/in.jef", dir + "/out3.txt", dir + "/digits.ptn"}, "レコードパターンの内容が数字のみです\n", -2},
        // Truncating the output must never destroy the input or the pattern file.
        {{dir + "/in.jef", dir + "/./in.jef"}, "[" + dir + "/./in.jef" + sameFile, -10},
        {{dir + "/in.jef", dir + "/rec.ptn", dir + "/rec.ptn"}, "[" + dir + "/rec.ptn" + sameFile, -10},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"j2s", "1", "3", "0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        auto r = runVelk(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, exitLine(c.result));
    }
    EXPECT_EQ(readFile(dir + "/keep.txt"), "kept");  // untouched by runs that stopped early
    EXPECT_EQ(readFile(dir + "/in.jef"), "\xC1\xC2");
    EXPECT_EQ(readFile(dir + "/rec.ptn"), "XX\n");
    // A bad pattern file is read after the output was created.
    EXPECT_TRUE(velk::test::fileExists(dir + "/out3.txt"));
    EXPECT_EQ(readFile(dir + "/out3.txt"), "");
}

TEST(RunJ2s, PatternPathChoosesTheModeByItsFirstTenCharacters) {
    const std::string dir = velk::test::makeTempDir();
    writeFile(dir + "/in.jef", "\xC1\xC2");
    auto r = runVelk({"j2s", "1", "3", "1", dir + "/in.jef", dir + "/out.txt", "_********_x.ptn"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(readFile(dir + "/out.txt"), "A\r\nB\r\n");
    EXPECT_EQ(r.err, exitLine(2));
}

TEST(RunJ2s, ErrorLinesGoToStandardOutputWhenTheLogCannotBeCreated) {
    const std::string dir = velk::test::makeTempDir();
    writeFile(dir + "/in.jef", std::string("\xC1\x00", 2));
    const std::string in = dir + "/in.jef", out = dir + "/out.txt";
    const std::string log = dir + "/missing/VELK_LOG_20270101_000000.txt";
    const std::string failure =
        "[" + log + "]のオープンに失敗しました(原因=No such file or directory)\n";
    for (int optLog : {0, 1}) {
        std::vector<char> logPath(4096, '\0');
        std::memcpy(logPath.data(), log.data(), log.size());
        testing::internal::CaptureStdout();
        const auto result = velk::runJ2s(optLog, 3, 0, 0, 0, in.c_str(), out.c_str(), "_********_",
                                         logPath.data(), logPath.size());
        const std::string text = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, -1);
        EXPECT_EQ(text, optLog == 0 ? failure
                                    : failure + "EBCDIC->JIS 変換エラー(EBCDIC=0x00/2バイト目)\n");
        EXPECT_EQ(std::string(logPath.data()), log);
    }
}

}  // namespace
