// The command line, then dispatch, log keep-or-delete and exit statuses
// against stand-in workers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/driver.h"
#include "platform/log_path.h"
#include "support/run_velk.h"

namespace {

using velk::CommandLine;

// Calls f(argc, argv) with "velk" and args.
template <typename F>
auto withArgv(std::vector<std::string> args, F f) {
    args.insert(args.begin(), "velk");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    return f(static_cast<int>(argv.size()), argv.data());
}

CommandLine parse(const std::vector<std::string>& args) { return withArgv(args, velk::parseCommandLine); }

// What is accepted shows in what the workers are called with. A rejection
// names the first argument at fault and its value, and picks the usage screen.
// (A rejection of each command is also seen whole, screen and all, in Screens.)
TEST(CommandLine, RejectsTheFirstArgumentAtFault) {
    const std::string p259(259, 'p'), p260(260, 'p');
    const std::string bad = "の値[", wrong = "]が正しくありません(指定できる値=";
    const std::string tooLong = "のパス名が長すぎます(260バイト/上限=259バイト)[" + p260 + "]\n";
    const struct {
        std::vector<std::string> args;
        const char* usage;   // screen shown: "" when accepted, null for every screen
        int optLog;          // -1: never read, so no closing line
        std::string reason;  // the line before the screen
    } cases[] = {
        {{"s2j", "1", "1", "0", "a"}, "s2j", -1, "s2jのパラメータが足りません(指定=4個/必要=5個)\n"},
        {{"s2j", "1", "5", "0", "a", "b"}, "s2j", 1, "optConv" + bad + "5" + wrong + "1,2,3,4,9)\n"},
        {{"s2j", "1x", "1", "0", "a", "b"}, "", 1, ""},
        {{"s2j", "x1", "1", "0", "a", "b"}, "s2j", -1, "optLog" + bad + "x1" + wrong + "0,1)\n"},
        {{"s2j", "7", "1", "0", "a", "b"}, "s2j", 7, "optLog" + bad + "7" + wrong + "0,1)\n"},
        {{"s2j", "1", "1", "2", "a", "b"}, "s2j", 1, "optOther" + bad + "2" + wrong + "0,1)\n"},
        {{"j2s", "0", "3", "-1", "a", "b"}, "j2s", 0, "recSize" + bad + "-1" + wrong + "0以上の整数)\n"},
        {{"j2s", "0", "3", "99999999999", "a", "b"}, "j2s", 0,
         "recSize" + bad + "99999999999" + wrong + "0以上の整数)\n"},
        {{"j2s", "1", "3", "0", p259, "b"}, "", 1, ""},
        {{"j2s", "1", "3", "0", p260, "b"}, "j2s", 1, "jefPath" + tooLong},
        {{"j2s", "1", "3", "0", "a", p260}, "j2s", 1, "sjisPath" + tooLong},
        {{"j2s", "1", "3", "0", "a", "b", p260}, "j2s", 1, "patnPath" + tooLong},
        {{"j2s", "1", "3", "0", "a", "b", "p", "2"}, "j2s", 1, "optSkip" + bad + "2" + wrong + "0,1)\n"},
        {{"j2s", "1", "3", "0", "a", "b", "p", "1", "9"}, "j2s", 1,
         "optTrim" + bad + "9" + wrong + "0,1,2,3,4,5,6,7,8)\n"},
        {{"mkp", "1", "3", "0", "a", "b"}, "mkp", 1, "optCsv" + bad + "3" + wrong + "0,1,2)\n"},
        {{"mkp", "1", "1", "x", "a", "b"}, "mkp", 1, "optQuote" + bad + "x" + wrong + "0,1)\n"},
        {{"mkp", "1", "1", "0", p260, "b"}, "mkp", 1, "copyPath" + tooLong},
        {{"mkp", "1", "1", "0", "a", p260}, "mkp", 1, "ptnPath" + tooLong},
        {{"mkp", "0", "2", "1", "a", "b", "ignored"}, "", 0, ""},
        // u2j and j2u are checked by the s2j and j2s rules, their UTF-8 paths named as such.
        {{"u2j", "1", "5", "0", "a", "b"}, "u2j", 1, "optConv" + bad + "5" + wrong + "1,2,3,4,9)\n"},
        {{"u2j", "1", "1", "0", p260, "b"}, "u2j", 1, "utf8Path" + tooLong},
        {{"u2j", "1", "4", "1", "a", p260}, "u2j", 1, "jefPath" + tooLong},
        {{"U2J", "1", "4", "1", "a", "b"}, nullptr, -1, "[U2J]は不明なコマンドです\n"},
        {{"j2u", "1", "4", "0", "a", "b"}, "j2u", 1, "optConv" + bad + "4" + wrong + "1,2,3)\n"},
        {{"j2u", "1", "1", "0", "a", p260}, "j2u", 1, "utf8Path" + tooLong},
        {{"j2u", "1", "3", "0", "a", "b", "p", "1", "8"}, "", 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args).substr(0, 80));
        const CommandLine cl = parse(c.args);
        EXPECT_EQ(cl.rejected, c.usage == nullptr || *c.usage != '\0');
        if (cl.rejected) {
            EXPECT_STREQ(cl.usageWord, c.usage);
        }
        EXPECT_EQ(cl.reason, c.reason);
        EXPECT_EQ(cl.optLogRead, c.optLog >= 0);
        EXPECT_EQ(cl.optLog, std::max(c.optLog, 0));
    }
}

// What the stand-in workers were called with, as "s2j 1 9 1 in out ".
std::string called, logPath;
int keyWaits = 0;
std::int32_t nextResult = 0;

template <typename... T>
std::string said(const T&... parts) {
    std::ostringstream s;
    ((s << parts << ' '), ...);
    return s.str();
}

// Stand-ins for the three-number and the j2s-shaped workers, named by W.
template <const char* W>
std::int32_t fake(int a, int b, int c, const char* p, const char* q) {
    called = said(W, a, b, c, p, q);
    return nextResult;
}

template <const char* W>
std::int32_t fakeJ2s(int a, int b, int c, int d, int e, const char* p, const char* q, const char* r,
                     char* log, std::size_t) {
    called = said(W, a, b, c, d, e, p, q, r);
    logPath = log;
    velk::test::writeFile(log, "");
    return nextResult;
}
constexpr char kS2j[] = "s2j", kJ2s[] = "j2s", kMkp[] = "mkp", kU2j[] = "u2j", kJ2u[] = "j2u";

int run(const std::vector<std::string>& args, std::string* err = nullptr) {
    called.clear();
    keyWaits = 0;
    testing::internal::CaptureStderr();
    const int status = withArgv(args, [](int argc, const char** argv) {
        return velk::runDriver(argc, argv, {fake<kS2j>, fakeJ2s<kJ2s>, fake<kMkp>, fake<kU2j>, fakeJ2s<kJ2u>,
                                           [] { ++keyWaits; }});
    });
    const std::string captured = testing::internal::GetCapturedStderr();
    if (err) *err = captured;
    return status;
}

TEST(Driver, DispatchesWithArgumentsInOrder) {
    const struct {
        std::vector<std::string> args;
        const char* called;
        int status = 0;
        int keyWaits = 0;
    } cases[] = {
        {{"s2j", "1", "9", "1", "in.txt", "out.jef"}, "s2j 1 9 1 in.txt out.jef "},
        {{"j2s", "0", "2", "80", "in.jef", "out.txt", "p.ptn", "1", "8"}, "j2s 0 2 80 1 14 in.jef out.txt p.ptn "},
        {{"j2s", "0", "3", "0", "in.jef", "out.txt"}, "j2s 0 3 0 0 0 in.jef out.txt _********_ "},
        {{"mkp", "1", "2", "0", "a.cpy", "a.ptn"}, "mkp 1 2 0 a.cpy a.ptn "},
        {{"u2j", "0", "9", "1", "in.txt", "out.jef", "x"}, "u2j 0 9 1 in.txt out.jef "},
        {{"j2u", "1", "1", "0", "in.jef", "out.txt", "p.ptn", "0", "3"}, "j2u 1 1 0 0 4 in.jef out.txt p.ptn "},
        {{}, "", 2, 5},  // a rejected line waits for a key per screen
        {{"v"}, "", 0, 1},
    };
    nextResult = 12;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(run(c.args), c.status);
        EXPECT_EQ(called, c.called);
        EXPECT_EQ(keyWaits, c.keyWaits);
        std::remove(logPath.c_str());
    }
    // The log lies beside the running executable, here the test program.
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(logPath.substr(0, logPath.rfind('/')), self.substr(0, self.rfind('/')));
}

// The exit status, the closing line and the log notice for each kind of result.
TEST(Driver, KeepsTheJ2sLogOnlyAfterConversionErrors) {
    // Its own folder: the same test in the other test program would make the same log names.
    setenv("VELK_LOG_DIR", velk::test::makeTempDir().c_str(), 1);
    for (std::int32_t result : {-1, 0, 3, -11}) {
        for (int k = 0; k < 4; ++k) {
            const int optLog = k % 2;
            nextResult = result;
            std::string err;
            const int status = run({k < 2 ? "j2s" : "j2u", std::to_string(optLog), "3", "0", "in", "out"}, &err);
            const std::string log = logPath;
            EXPECT_EQ(velk::test::fileExists(log), result == -1) << result;
            EXPECT_EQ(status, result == -1 ? 1 : result < 0 ? 2 : 0);
            std::string expected;
            if (optLog == 1 && result == -1) expected = "\n\n" + log + "に変換エラーのログを出力しました。\n\n";
            if (optLog == 1) expected += velk::test::exitLine(result);
            EXPECT_EQ(err, expected);
            std::remove(log.c_str());
        }
    }
    unsetenv("VELK_LOG_DIR");
}

TEST(LogPath, NameIsZeroPaddedLocalTime) {
    std::tm t{};
    strptime("2026-03-06 09:03:05", "%Y-%m-%d %H:%M:%S", &t);
    EXPECT_EQ(velk::logFileName(t), "VELK_LOG_20260306_090305.txt");
}

}  // namespace
