// File faults that only permissions produce: an unreadable input, pattern
// file or copy-book, and an output directory without write permission.
// Runs drop to an unprivileged user, since root reads and writes anything.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

using velk::test::runVelk;

TEST(FileFaults, PermissionsGiveTheOpenFailureOfEachFile) {
    const std::string dir = velk::test::makeTempDir();
    const std::string locked = dir + "/locked", readOnly = dir + "/readonly";
    velk::test::writeFile(dir + "/in.txt", "AB\n");
    velk::test::writeFile(dir + "/in.jef", "\xC1\xC2");
    velk::test::writeFile(dir + "/p.ptn", "XX\n");
    velk::test::writeFile(dir + "/a.cpy", "01 A PIC X.\n");
    velk::test::writeFile(locked, "XX\n");
    ::chmod(locked.c_str(), 0);
    ::mkdir(readOnly.c_str(), 0555);
    ::chmod(dir.c_str(), 0777);  // the unprivileged runs write their outputs here
    const std::string denied = "(原因=Permission denied)\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
        int result;
    } cases[] = {
        {{"s2j", "1", "1", "0", locked, dir + "/o1"}, "[" + locked + "]のオープンに失敗しました" + denied, -10},
        {{"s2j", "1", "1", "0", dir + "/in.txt", readOnly + "/o"},
         "[" + readOnly + "/o]のオープンに失敗しました" + denied, -11},
        {{"j2s", "1", "3", "0", locked, dir + "/o2"}, "[" + locked + "]のオープンに失敗しました" + denied, -11},
        {{"j2s", "1", "3", "0", dir + "/in.jef", readOnly + "/o"},
         "[" + readOnly + "/o]のオープンに失敗しました" + denied, -10},
        {{"j2s", "1", "3", "0", dir + "/in.jef", dir + "/o3", locked}, "[" + locked + "]のオープンに失敗しました\n", -12},
        {{"mkp", "1", "0", "0", locked, dir + "/o4"}, locked + "がオープンできません\n", -13},
        {{"mkp", "1", "0", "0", dir + "/a.cpy", readOnly + "/o"}, readOnly + "/oがオープンできません\n", -12},
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
