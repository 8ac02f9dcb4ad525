// Error logs of runs started together: each run writes, and its driver
// deletes, only its own file.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "driver/log_path.h"
#include "support/run_velk.h"

namespace {

namespace fs = std::filesystem;
using velk::test::readFile;

std::set<std::string> logsBesideBinary() {
    std::set<std::string> logs;
    for (const auto& entry : fs::directory_iterator(velk::test::velkDir()))
        if (entry.path().filename().string().rfind("VELK_LOG_", 0) == 0) logs.insert(entry.path().string());
    return logs;
}

TEST(RunLog, RunsStartedTogetherKeepExactlyTheLogsWithErrors) {
    // Another process's logs, still being written, under every name these
    // runs may compose: each run must take a name of its own beside them.
    std::vector<std::string> foreign;
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 1; t <= now + 5; ++t) {
        std::tm local{};
        localtime_r(&t, &local);
        const std::string name = velk::test::velkDir() + "/" + velk::logFileName(local);
        if (velk::test::fileExists(name)) continue;
        velk::test::writeFile(name, "foreign\n");
        foreign.push_back(name);
    }
    const std::set<std::string> before = logsBesideBinary();

    // Even runs meet one unmapped byte, each at its own position; odd runs none.
    constexpr int kRuns = 6;
    const std::string dir = velk::test::makeTempDir();
    std::vector<velk::test::RunResult> results(kRuns);
    std::vector<std::thread> threads;
    for (int i = 0; i < kRuns; ++i) {
        std::string bytes(200000, '\xC1');
        if (i % 2 == 0) bytes[static_cast<std::size_t>(100 + i)] = '\0';
        const std::string in = dir + "/in" + std::to_string(i) + ".jef";
        velk::test::writeFile(in, bytes);
        threads.emplace_back([&results, i, in, dir] {
            results[static_cast<std::size_t>(i)] = velk::test::runVelk(
                {"j2s", "1", "3", "0", in, dir + "/out" + std::to_string(i) + ".txt"});
        });
    }
    for (std::thread& t : threads) t.join();

    std::set<std::string> expected;
    for (int i = 0; i < kRuns; ++i) {
        const velk::test::RunResult& r = results[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.status, i % 2 == 0 ? 1 : 0) << i;
        if (i % 2 != 0) continue;
        // The notice names the log the run actually used.
        const auto at = r.err.find("に変換エラーのログを出力しました。");
        ASSERT_NE(at, std::string::npos) << r.err;
        const std::string log = r.err.substr(2, at - 2);
        EXPECT_EQ(readFile(log), "EBCDIC->JIS 変換エラー(EBCDIC=0x00/" + std::to_string(101 + i) +
                                     "バイト目)\n");
        expected.insert(log);
    }
    std::set<std::string> left;
    for (const std::string& f : logsBesideBinary())
        if (!before.count(f)) left.insert(f);
    EXPECT_EQ(left, expected);
    for (const std::string& f : foreign) {
        EXPECT_EQ(readFile(f), "foreign\n") << f;
        fs::remove(f);
    }
    for (const std::string& f : left) fs::remove(f);
}

}  // namespace
