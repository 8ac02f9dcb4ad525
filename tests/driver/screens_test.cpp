// The usage and version screens, seen from the built binary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

using velk::test::runVelk;

// Shift-JIS bytes written out, so that the test does not share the
// product's own literals.
const std::string kPrompt =
    "\x0A\x8A\x6D\x94\x46\x82\xB5\x82\xBD\x82\xE7\x81\x41\x82\xC7\x82\xEA\x82\xA9\x83\x4C\x81"
    "\x5B\x82\xF0\x89\x9F\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x21\x21\x0A";
const std::string kExitMinus5 =
    "\x0A\x8F\x49\x97\xB9\x83\x52\x81\x5B\x83\x68\x82\xCD\x20\x2D\x35\x20\x82\xC5\x82\xB7\x0A\x0A";

TEST(Screens, UsageAndVersionScreensByteForByte) {
    const auto all = runVelk({});
    EXPECT_EQ(all.status, 2);
    EXPECT_EQ(all.out, "");
    const std::string noCommand = "コマンドが指定されていません\n";
    ASSERT_EQ(all.err.substr(0, noCommand.size()), noCommand);
    // The s2j, j2s, mkp, u2j and j2u screens, each followed by the prompt.
    const std::string all5 = all.err.substr(noCommand.size());
    EXPECT_EQ(velk::test::sha256Hex(all5),
              "d49405b2e7a6f7f3cde41329ab2ee8caecf9baf98224655003a0015d8595aca9");
    std::vector<std::string> screens;
    for (std::size_t start = 0, at; (at = all5.find(kPrompt, start)) != std::string::npos;
         start = at + kPrompt.size())
        screens.push_back(all5.substr(start, at - start) + kPrompt);
    ASSERT_EQ(screens.size(), 5u);

    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"J2S"}, "[J2S]は不明なコマンドです\n" + all5},
        // optLog never read: no exit line
        {{"s2j", "x", "1", "0", "a", "b"}, "optLogの値[x]が正しくありません(指定できる値=0,1)\n" + screens[0]},
        {{"j2s", "0", "4", "0", "a", "b"}, "optConvの値[4]が正しくありません(指定できる値=1,2,3)\n" + screens[1]},
        {{"mkp", "2", "0", "0", "a.cpy", "a.ptn"},
         "optLogの値[2]が正しくありません(指定できる値=0,1)\n" + screens[2] + kExitMinus5},
        {{"u2j", "1", "1", "2", "a", "b"}, "optOtherの値[2]が正しくありません(指定できる値=0,1)\n" + screens[3] + kExitMinus5},
        {{"j2u", "0", "3", "0", "a", "b", "p", "0", "9"},
         "optTrimの値[9]が正しくありません(指定できる値=0,1,2,3,4,5,6,7,8)\n" + screens[4]},
        // The version banner, the one screen that ends well.
        {{"v", "extra"}, "VELK V1.10 JEF/EBCDIC <-> シフトJIS 変換ツール\n" + kPrompt},
    };
    for (const auto& c : cases) {
        const auto r = runVelk(c.args);
        EXPECT_EQ(r.status, c.args[0] == "v" ? 0 : 2) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
    }
}

}  // namespace
