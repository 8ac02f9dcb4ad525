// The usage and version screens, seen from the built binary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_velk.h"

using velk::test::runVelk;

namespace {

// Shift-JIS bytes written out, so that the test does not share the
// product's own literals.
const std::string kPrompt =
    "\x0A\x8A\x6D\x94\x46\x82\xB5\x82\xBD\x82\xE7\x81\x41\x82\xC7\x82\xEA\x82\xA9\x83\x4C\x81"
    "\x5B\x82\xF0\x89\x9F\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x21\x21\x0A";
const std::string kExitMinus5 =
    "\x0A\x8F\x49\x97\xB9\x83\x52\x81\x5B\x83\x68\x82\xCD\x20\x2D\x35\x20\x82\xC5\x82\xB7\x0A\x0A";

std::vector<std::string> splitScreens(const std::string& err) {
    std::vector<std::string> screens;
    size_t start = 0, at;
    while ((at = err.find(kPrompt, start)) != std::string::npos) {
        screens.push_back(err.substr(start, at - start));
        start = at + kPrompt.size();
    }
    screens.push_back(err.substr(start));
    return screens;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0, nl;
    while ((nl = text.find('\n', start)) != std::string::npos) {
        out.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return out;
}

// Title rows sit between asterisk rows of the same width in bytes, which
// only holds when the title is Shift-JIS (two bytes a kanji).
void expectUsageScreen(const std::string& screen, const std::string& synopsis, size_t lineCount,
                       size_t width) {
    std::vector<std::string> ls = lines(screen);
    ASSERT_EQ(ls.size(), lineCount);
    EXPECT_EQ(ls[0], std::string(width, '*'));
    EXPECT_EQ(ls[1].size(), width);
    EXPECT_EQ(ls[2], std::string(width, '*'));
    EXPECT_EQ(ls[3], "");
    EXPECT_EQ(ls[4], synopsis);
    EXPECT_EQ(ls[5], "      ~~~");
}

TEST(Screens, NoArgumentsShowsAllThreeThenFails) {
    auto r = runVelk({});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    auto screens = splitScreens(r.err);
    ASSERT_EQ(screens.size(), 4u);
    EXPECT_EQ(screens[3], "");
    expectUsageScreen(screens[0], ">velk s2j optLog optConv optOther sjisPath jefPath", 19, 47);
    expectUsageScreen(
        screens[1],
        ">velk j2s optLog optConv recSize jefPath sjisPath [patnPath] [optSkip] [optTrim]", 28,
        47);
    expectUsageScreen(screens[2], ">velk mkp optLog optCsv optQuote copyPath ptnPath", 18, 30);
    EXPECT_EQ(runVelk({"J2S"}).err, r.err);
}

TEST(Screens, VersionBanner) {
    auto r = runVelk({"v", "extra"});
    EXPECT_EQ(r.status, 0);
    auto screens = splitScreens(r.err);
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].rfind("VELK V1.10 ", 0), 0u) << screens[0];
    EXPECT_EQ(screens[0].back(), '\n');
    EXPECT_EQ(screens[1], "");
}

TEST(Screens, RejectedCommandShowsItsScreenAndExitLine) {
    auto r = runVelk({"mkp", "2", "0", "0", "a.cpy", "a.ptn"});
    EXPECT_EQ(r.status, 2);
    auto screens = splitScreens(r.err);
    ASSERT_EQ(screens.size(), 2u);
    expectUsageScreen(screens[0], ">velk mkp optLog optCsv optQuote copyPath ptnPath", 18, 30);
    EXPECT_EQ(screens[1], kExitMinus5);

    // optLog 0, or never read: no exit-status line.
    auto quiet = runVelk({"j2s", "0", "4", "0", "a", "b"});
    EXPECT_EQ(quiet.status, 2);
    EXPECT_EQ(splitScreens(quiet.err).back(), "");
    auto unread = runVelk({"s2j", "x", "1", "0", "a", "b"});
    EXPECT_EQ(splitScreens(unread.err).back(), "");
}

}  // namespace
