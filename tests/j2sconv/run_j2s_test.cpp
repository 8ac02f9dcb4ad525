// The j2s run: opening its files in order, its failure codes, and its error
// log: where the lines go when it cannot be created, and runs started
// together, each writing, and its driver deleting, only its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "driver/workers.h"
#include "platform/log_path.h"
#include "support/run_velk.h"

namespace {

namespace fs = std::filesystem;

using velk::test::exitLine;
using velk::test::readFile;
using velk::test::runVelk;
using velk::test::writeFile;

TEST(RunJ2s, OpeningFailuresStopWithTheirCode) {
    const std::string dir = velk::test::makeTempDir();
    writeFile(dir + "/in.jef", "\xC1\xC2");
    writeFile(dir + "/empty.jef", "");
    writeFile(dir + "/keep.txt", "kept");
    writeFile(dir + "/empty.ptn", "");
    writeFile(dir + "/digits.ptn", "12\n");
    writeFile(dir + "/rec.ptn", "XX\n");
    const std::string same = "のオープンに失敗しました(原因=入力ファイルと同じファイルです)\n";
    const std::string full = "シフトJISファイルの書き込みでエラーが発生しました(原因=No space left on device)\n";
    const struct {
        std::vector<std::string> paths;  // in the test directory unless absolute
        std::string out;                 // %s stands for the test directory
        int result;
    } cases[] = {
        {{"none.jef", "keep.txt"}, "[%s/none.jef]が見つかりません\n", -11},
        {{".", "keep.txt"}, "[%s/.]のオープンに失敗しました(原因=Is a directory)\n", -11},
        {{"empty.jef", "keep.txt"}, "[%s/empty.jef]のファイルサイズが 0 です\n", -16},
        {{"in.jef", "no/out.txt"}, "[%s/no/out.txt]のオープンに失敗しました(原因=No such file or directory)\n", -10},
        {{"in.jef", "out1.txt", "none.ptn"}, "[%s/none.ptn]のオープンに失敗しました\n", -12},
        {{"in.jef", "out2.txt", "empty.ptn"}, "[%s/empty.ptn]のファイルサイズが 0 です\n", -17},
        {{"in.jef", "out3.txt", "digits.ptn"}, "レコードパターンの内容が数字のみです\n", -2},
        // Truncating the output must never destroy the input or the pattern file.
        {{"in.jef", "./in.jef"}, "[%s/./in.jef]" + same, -10},
        {{"in.jef", "rec.ptn", "rec.ptn"}, "[%s/rec.ptn]" + same, -10},
        {{"in.jef", "/dev/full"}, full, -25},
        {{"in.jef", "/dev/full", "rec.ptn"}, full, -25},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"j2s", "1", "3", "0"};
        for (const std::string& path : c.paths) args.push_back(path[0] == '/' ? path : dir + "/" + path);
        const auto r = runVelk(args);
        std::string out = c.out;
        if (const auto at = out.find("%s"); at != std::string::npos) out.replace(at, 2, dir);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.err, exitLine(c.result));
    }
    EXPECT_EQ(readFile(dir + "/keep.txt"), "kept");  // untouched by runs that stopped early
    EXPECT_EQ(readFile(dir + "/in.jef"), "\xC1\xC2");
    EXPECT_EQ(readFile(dir + "/rec.ptn"), "XX\n");
    // A bad pattern file is read after the output was created.
    EXPECT_TRUE(velk::test::fileExists(dir + "/out3.txt"));
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

std::set<std::string> logsIn(const std::string& dir) {
    std::set<std::string> logs;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().rfind("VELK_LOG_", 0) == 0) logs.insert(entry.path().string());
    return logs;
}

// Points the runs of one test at a log directory of their own: other test
// programs, run in parallel, make and delete logs beside the binary.
struct OwnLogDir {
    const std::string dir = velk::test::makeTempDir();
    OwnLogDir() { setenv("VELK_LOG_DIR", dir.c_str(), 1); }
    ~OwnLogDir() { unsetenv("VELK_LOG_DIR"); }
};

TEST(RunLog, RunsStartedTogetherKeepExactlyTheLogsWithErrors) {
    const OwnLogDir logDir;
    // Another process's logs, still being written, under every name these
    // runs may compose: each run must take a name of its own beside them.
    std::vector<std::string> foreign;
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 1; t <= now + 5; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        const std::string name = logDir.dir + "/" + velk::logFileName(local);
        if (velk::test::fileExists(name)) continue;
        velk::test::writeFile(name, "foreign\n");
        foreign.push_back(name);
    }
    const std::set<std::string> before = logsIn(logDir.dir);

    // Even runs meet one unmapped byte, each at its own position; odd runs none.
    constexpr int kRuns = 6;
    std::vector<velk::test::FileRun> results(kRuns);
    std::vector<std::thread> threads;
    for (int i = 0; i < kRuns; ++i) {
        threads.emplace_back([&results, i] {
            std::string bytes(200000, '\xC1');
            if (i % 2 == 0) bytes[static_cast<std::size_t>(100 + i)] = '\0';
            results[static_cast<std::size_t>(i)] = velk::test::runOnFile({"j2s", "1", "3", "0"}, bytes);
        });
    }
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < kRuns; ++i) {
        const auto& r = results[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.status, i % 2 == 0 ? 1 : 0) << i;
        // The notice names the log the run actually used.
        EXPECT_EQ(r.log, i % 2 ? "" : "EBCDIC->JIS 変換エラー(EBCDIC=0x00/" + std::to_string(101 + i) + "バイト目)\n");
    }
    EXPECT_EQ(logsIn(logDir.dir), before);  // the ones named were removed, no other is left
    for (const std::string& f : foreign) {
        EXPECT_EQ(readFile(f), "foreign\n") << f;
        fs::remove(f);
    }
}

}  // namespace
