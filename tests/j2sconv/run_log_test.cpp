// Error logs of runs that start in the same second: each run writes and
// deletes only its own file.
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
using velk::test::runVelk;

std::set<std::string> logsBesideBinary() {
    std::set<std::string> logs;
    for (const auto& entry : fs::directory_iterator(velk::test::velkDir()))
        if (entry.path().filename().string().rfind("VELK_LOG_", 0) == 0) logs.insert(entry.path().string());
    return logs;
}

// The log a run names in its notice on standard error, or "".
std::string noticedLog(const std::string& err) {
    const auto at = err.find("に変換エラーのログを出力しました。");
    return at == std::string::npos || at < 2 ? "" : err.substr(2, at - 2);
}

// Input whose only unmapped byte (0x00) lies at 1-based position errorAt; 0 for none.
std::string inputFile(const std::string& dir, int errorAt) {
    std::string bytes(200000, '\xC1');
    if (errorAt > 0) bytes[static_cast<std::size_t>(errorAt - 1)] = '\0';
    const std::string path = dir + "/in" + std::to_string(errorAt) + ".jef";
    velk::test::writeFile(path, bytes);
    return path;
}

std::string errorLine(int at) {
    return "EBCDIC->JIS 変換エラー(EBCDIC=0x00/" + std::to_string(at) + "バイト目)\n";
}

TEST(RunLog, ATakenNameGetsASuffixAndIsLeftAlone) {
    // Stand in for runs of other processes still writing their logs in the
    // seconds this test's runs may start in.
    const std::string dir = velk::test::makeTempDir();
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
    auto clean = runVelk({"j2s", "1", "3", "0", inputFile(dir, 0), dir + "/a.txt"});
    auto dirty = runVelk({"j2s", "1", "3", "0", inputFile(dir, 7), dir + "/b.txt"});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(dirty.status, 1);
    const std::string log = noticedLog(dirty.err);
    EXPECT_EQ(log.substr(log.size() - 6), "_2.txt") << log;
    EXPECT_EQ(readFile(log), errorLine(7));
    for (const std::string& f : foreign) {
        EXPECT_EQ(readFile(f), "foreign\n") << f;
        fs::remove(f);
    }
    fs::remove(log);
}

TEST(RunLog, RunsStartedTogetherKeepExactlyTheLogsWithErrors) {
    const std::string dir = velk::test::makeTempDir();
    const std::set<std::string> before = logsBesideBinary();
    constexpr int kRuns = 6;
    std::vector<velk::test::RunResult> results(kRuns);
    std::vector<std::string> inputs;
    for (int i = 0; i < kRuns; ++i) inputs.push_back(inputFile(dir, i % 2 == 0 ? 100 + i : 0));
    std::vector<std::thread> threads;
    for (int i = 0; i < kRuns; ++i)
        threads.emplace_back([&, i] {
            results[static_cast<std::size_t>(i)] =
                runVelk({"j2s", "1", "3", "0", inputs[static_cast<std::size_t>(i)],
                         dir + "/out" + std::to_string(i) + ".txt"});
        });
    for (std::thread& t : threads) t.join();

    std::set<std::string> expected;
    for (int i = 0; i < kRuns; ++i) {
        const auto& r = results[static_cast<std::size_t>(i)];
        EXPECT_EQ(r.status, i % 2 == 0 ? 1 : 0) << i;
        if (i % 2 != 0) continue;
        const std::string log = noticedLog(r.err);
        EXPECT_EQ(readFile(log), errorLine(100 + i)) << log;
        expected.insert(log);
    }
    std::set<std::string> left;
    for (const std::string& f : logsBesideBinary())
        if (!before.count(f)) left.insert(f);
    EXPECT_EQ(left, expected);
    for (const std::string& f : left) fs::remove(f);
}

}  // namespace
