// Dispatch, log keep-or-delete and exit statuses, against stand-in workers.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/log_path.h"
#include "support/run_velk.h"

namespace {

struct Calls {
    std::string worker;
    std::vector<int> numbers;
    std::vector<std::string> paths;
    int keyWaits = 0;
};
Calls calls;
std::int32_t nextResult = 0;
bool createLog = false;

std::int32_t fakeS2j(int a, int b, int c, const char* p1, const char* p2) {
    calls.worker = "s2j";
    calls.numbers = {a, b, c};
    calls.paths = {p1, p2};
    return nextResult;
}

std::int32_t fakeJ2s(int a, int b, int c, int d, int e, const char* p1, const char* p2,
                     const char* p3, char* log, std::size_t) {
    calls.worker = "j2s";
    calls.numbers = {a, b, c, d, e};
    calls.paths = {p1, p2, p3, log};
    if (createLog) velk::test::writeFile(log, "");
    return nextResult;
}

std::int32_t fakeMkp(int a, int b, int c, const char* p1, const char* p2) {
    calls.worker = "mkp";
    calls.numbers = {a, b, c};
    calls.paths = {p1, p2};
    return nextResult;
}

void countKey() { ++calls.keyWaits; }

int run(std::vector<std::string> args, std::string* err = nullptr) {
    args.insert(args.begin(), "velk");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    calls = Calls{};
    testing::internal::CaptureStderr();
    int status = velk::runDriver(static_cast<int>(argv.size()), argv.data(),
                                 {fakeS2j, fakeJ2s, fakeMkp, countKey});
    std::string captured = testing::internal::GetCapturedStderr();
    if (err) *err = captured;
    return status;
}

TEST(Driver, DispatchesWithArgumentsInOrder) {
    nextResult = 12;
    EXPECT_EQ(run({"s2j", "1", "9", "1", "in.txt", "out.jef"}), 0);
    EXPECT_EQ(calls.worker, "s2j");
    EXPECT_EQ(calls.numbers, (std::vector<int>{1, 9, 1}));
    EXPECT_EQ(calls.paths, (std::vector<std::string>{"in.txt", "out.jef"}));

    EXPECT_EQ(run({"j2s", "0", "2", "80", "in.jef", "out.txt", "p.ptn", "1", "8"}), 0);
    EXPECT_EQ(calls.worker, "j2s");
    EXPECT_EQ(calls.numbers, (std::vector<int>{0, 2, 80, 1, 14}));
    EXPECT_EQ(calls.paths[2], "p.ptn");
    // The log lies beside the running executable, here the test program.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(calls.paths[3].substr(0, calls.paths[3].rfind('/')), self.substr(0, self.rfind('/')));

    EXPECT_EQ(run({"mkp", "1", "2", "0", "a.cpy", "a.ptn"}), 0);
    EXPECT_EQ(calls.worker, "mkp");
    EXPECT_EQ(calls.numbers, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(calls.keyWaits, 0);
}

TEST(Driver, ResultToExitStatusAndReport) {
    struct Case {
        std::int32_t result;
        int optLog;
        int status;
        const char* err;
    } cases[] = {
        {5, 1, 0, "\n終了コードは 5 です\n\n"},
        {0, 0, 0, ""},
        {-10, 1, 2, "\n終了コードは -10 です\n\n"},
        {-30, 0, 2, ""},
        {-1, 1, 1, "\n終了コードは -1 です\n\n"},
    };
    for (const Case& c : cases) {
        nextResult = c.result;
        std::string err;
        EXPECT_EQ(run({"mkp", std::to_string(c.optLog), "0", "0", "a", "b"}, &err), c.status);
        EXPECT_EQ(err, c.err) << c.result;
    }
}

TEST(Driver, KeepsTheJ2sLogOnlyAfterConversionErrors) {
    createLog = true;
    for (std::int32_t result : {-1, 0, 3, -11}) {
        for (int optLog : {0, 1}) {
            nextResult = result;
            std::string err;
            int status = run({"j2s", std::to_string(optLog), "3", "0", "in", "out"}, &err);
            const std::string log = calls.paths[3];
            ASSERT_FALSE(log.empty());
            EXPECT_EQ(calls.paths[2], "_********_");
            EXPECT_EQ(velk::test::fileExists(log), result == -1) << result;
            EXPECT_EQ(status, velk::exitStatusFor(result));
            std::string notice = "\n\n" + log + "に変換エラーのログを出力しました。\n\n";
            if (result == -1 && optLog == 0) {
                EXPECT_EQ(err, "");
            } else if (result == -1) {
                EXPECT_EQ(err.rfind(notice, 0), 0u) << err;
            } else {
                EXPECT_EQ(err.find(notice), std::string::npos);
            }
            std::remove(log.c_str());
        }
    }
    createLog = false;
}

TEST(Driver, RejectedLineWaitsForAKeyPerScreen) {
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(calls.keyWaits, 3);
    EXPECT_EQ(calls.worker, "");
    EXPECT_EQ(run({"v"}), 0);
    EXPECT_EQ(calls.keyWaits, 1);
}

TEST(LogPath, NameIsZeroPaddedLocalTime) {
    std::tm t{};
    t.tm_year = 127;
    t.tm_mon = 0;
    t.tm_mday = 1;
    EXPECT_EQ(velk::logFileName(t), "VELK_LOG_20270101_000000.txt");
    t.tm_year = 126;
    t.tm_mon = 2;
    t.tm_mday = 6;
    t.tm_hour = 9;
    t.tm_min = 30;
    t.tm_sec = 5;
    EXPECT_EQ(velk::logFileName(t), "VELK_LOG_20260306_093005.txt");
    std::string path = velk::makeLogPath();
    EXPECT_NE(path.find("/VELK_LOG_"), std::string::npos);
    EXPECT_EQ(path.substr(path.size() - 4), ".txt");
}

}  // namespace
