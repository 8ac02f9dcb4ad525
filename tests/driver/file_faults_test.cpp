// An input that exists but cannot be opened: the one open failure that needs
// permissions. (Directories given as pattern file or copy-book, and outputs
// in missing directories, take the same branches; each command tests those.)
// Runs drop to an unprivileged user, since root reads anything.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

using velk::test::runVelk;

TEST(FileFaults, AnUnreadableInputGivesItsOpenFailure) {
    const std::string dir = velk::test::makeTempDir();
    const std::string locked = dir + "/locked";
    velk::test::writeFile(locked, "XX\n");
    ::chmod(locked.c_str(), 0);
    ::chmod(dir.c_str(), 0777);  // the unprivileged runs write their outputs here
    const std::string denied = "(原因=Permission denied)\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
        int result;
    } cases[] = {
        {{"s2j", "1", "1", "0", locked, dir + "/o1"}, "[" + locked + "]のオープンに失敗しました" + denied, -10},
        {{"j2s", "1", "3", "0", locked, dir + "/o2"}, "[" + locked + "]のオープンに失敗しました" + denied, -11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.out);
        const auto r = runVelk(c.args, true);
        EXPECT_EQ(r.status, 2);
        // A j2s run that gets as far as its log cannot create it beside a
        // binary the unprivileged user may not write to: that line comes first.
        EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), c.out.size())), c.out);
        EXPECT_EQ(r.err, velk::test::exitLine(c.result));
    }
}

}  // namespace
