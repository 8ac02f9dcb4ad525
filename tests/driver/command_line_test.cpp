#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/command_line.h"

using velk::Command;
using velk::CommandLine;
using velk::parseCommandLine;

namespace {

CommandLine parse(std::vector<std::string> args) {
    args.insert(args.begin(), "velk");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

struct Case {
    std::vector<std::string> args;
    bool rejected;
    const char* usage;  // screen shown when rejected
    bool optLogRead;
    int optLog;
};

TEST(CommandLine, AcceptsAndRejectsInOrder) {
    const std::string p259(259, 'p'), p260(260, 'p');
    const Case cases[] = {
        {{}, true, nullptr, false, 0},
        {{"J2S", "1", "1", "0", "a", "b"}, true, nullptr, false, 0},
        {{"v", "anything"}, false, nullptr, false, 0},
        {{"s2j", "1", "1", "0", "a"}, true, "s2j", false, 0},
        {{"s2j", "1", "9", "0", "a", "b"}, false, nullptr, true, 1},
        {{"s2j", "1", "5", "0", "a", "b"}, true, "s2j", true, 1},
        {{"s2j", "1x", "1", "0", "a", "b"}, false, nullptr, true, 1},
        {{"s2j", "x1", "1", "0", "a", "b"}, true, "s2j", false, 0},
        {{"s2j", "7", "1", "0", "a", "b"}, true, "s2j", true, 7},
        {{"j2s", "1", "4", "0", "a", "b"}, true, "j2s", true, 1},
        {{"j2s", "0", "3", "-1", "a", "b"}, true, "j2s", true, 0},
        {{"j2s", "0", "3", "99999999999", "a", "b"}, true, "j2s", true, 0},
        {{"j2s", "1", "3", "0", p259, "b"}, false, nullptr, true, 1},
        {{"j2s", "1", "3", "0", p260, "b"}, true, "j2s", true, 1},
        {{"j2s", "1", "3", "0", "a", "b", "p", "2"}, true, "j2s", true, 1},
        {{"j2s", "1", "3", "0", "a", "b", "p", "1", "9"}, true, "j2s", true, 1},
        {{"mkp", "2", "0", "0", "a", "b"}, true, "mkp", true, 2},
        {{"mkp", "1", "3", "0", "a", "b"}, true, "mkp", true, 1},
        {{"mkp", "0", "2", "1", "a", "b", "ignored"}, false, nullptr, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        CommandLine cl = parse(c.args);
        EXPECT_EQ(cl.rejected, c.rejected);
        if (c.rejected) {
            EXPECT_STREQ(cl.usageWord, c.usage);
        }
        EXPECT_EQ(cl.optLogRead, c.optLogRead);
        EXPECT_EQ(cl.optLog, c.optLog);
    }
}

TEST(CommandLine, J2sOptionalArguments) {
    CommandLine five = parse({"j2s", "1", "2", "007", "in", "out"});
    EXPECT_EQ(five.command, Command::J2s);
    EXPECT_EQ(five.recSize, 7);
    EXPECT_EQ(five.patnPath, "_********_");
    EXPECT_EQ(five.optSkip, 0);
    EXPECT_EQ(five.trimFlags, 0);

    CommandLine six = parse({"j2s", "1", "2", "0", "in", "out", "pat"});
    EXPECT_EQ(six.patnPath, "pat");
    EXPECT_EQ(six.optSkip, 0);
    EXPECT_EQ(six.trimFlags, 0);

    const int expected[] = {0, 1, 2, 4, 6, 9, 10, 12, 14};
    for (int t = 0; t <= 8; ++t) {
        CommandLine cl = parse({"j2s", "1", "2", "0", "in", "out", "pat", "1", std::to_string(t)});
        EXPECT_FALSE(cl.rejected);
        EXPECT_EQ(cl.optSkip, 1);
        EXPECT_EQ(cl.trimFlags, expected[t]) << t;
    }
}

}  // namespace
