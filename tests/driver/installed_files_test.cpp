// What a user of an installed copy meets: where the j2s error log goes, the
// modes of the files velk creates, and an input it may not read. Those
// cases run as the user nobody, since root may read and write anything.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

namespace fs = std::filesystem;
using velk::test::makeTempDir;
using velk::test::readFile;
using velk::test::writeFile;

unsigned modeOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(InstalledFiles, NewFilesFollowTheUmaskAndOldOnesKeepTheirMode) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/in.jef", std::string("\xC1\x00", 2));  // one byte without mapping
    writeFile(dir + "/kept", "old");
    ::chmod((dir + "/kept").c_str(), 0600);
    setenv("VELK_LOG_DIR", dir.c_str(), 1);
    const mode_t oldMask = umask(027);
    const struct {
        std::vector<std::string> args;
        std::string created;
        unsigned mode;
    } cases[] = {  // every command creates its output in one place
        {{"j2s", "0", "3", "0", dir + "/in.jef", dir + "/out.txt"}, dir + "/out.txt", 0640},
        {{"s2j", "0", "1", "0", dir + "/in.jef", dir + "/kept"}, dir + "/kept", 0600},
    };
    for (const auto& c : cases) {
        velk::test::runVelk(c.args);
        EXPECT_EQ(modeOf(c.created), c.mode) << c.created;
    }
    umask(oldMask);
    unsetenv("VELK_LOG_DIR");
    // The j2s run met an unmapped byte: its log stays, made like the others.
    int logs = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().rfind("VELK_LOG_", 0) != 0) continue;
        ++logs;
        EXPECT_EQ(modeOf(e.path().string()), 0640u);
    }
    EXPECT_EQ(logs, 1);
}

// velk copied where an unprivileged user cannot write, as an installed copy.
struct Installed {
    std::string root = makeTempDir();
    std::string bin = root + "/bin";
    std::string work = root + "/work";
    Installed() {
        fs::create_directories(bin);
        fs::copy_file(VELK_BINARY, bin + "/velk");
        ::chmod(bin.c_str(), 0755);
        ::chmod(root.c_str(), 0755);
        fs::create_directories(work);
        ::chmod(work.c_str(), 0777);
        writeFile(work + "/in.jef", std::string("\xC1\x00", 2));
    }
    // velk `args` in `work`, after `env`, as nobody when the tests run as root.
    velk::test::RunResult run(const std::string& args, const std::string& env = "") const {
        const char* nobody = getuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
        return velk::test::runShell("cd " + work + " && " + env + " " + nobody + bin + "/velk " + args);
    }
};

// An input that exists but cannot be opened: the one open failure that needs
// permissions. (Directories given as pattern file or copy-book, and outputs
// in missing directories, take the same branches; each command tests those.)
TEST(InstalledFiles, AnUnreadableInputGivesItsOpenFailure) {
    if (getuid() == 0 && std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "setpriv missing";
    const Installed inst;
    const std::string locked = inst.work + "/locked";
    writeFile(locked, "XX\n");
    ::chmod(locked.c_str(), 0);
    const std::string failed = "[" + locked + "]のオープンに失敗しました(原因=Permission denied)\n";
    for (const auto& [command, result] : {std::pair{"s2j 1 1 0 ", -10}, {"j2s 1 3 0 ", -11}}) {
        SCOPED_TRACE(command);
        const auto r = inst.run(command + locked + " out");
        EXPECT_EQ(r.status, 2);
        // A j2s run that gets as far as its log may fail to create it: that line comes first.
        EXPECT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), failed.size())), failed);
        EXPECT_EQ(r.err, velk::test::exitLine(result));
    }
}

TEST(InstalledFiles, LogGoesWhereTheUserCanWriteIt) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to run velk as the user nobody";
    if (std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "setpriv missing";
    const Installed inst;
    const std::string chosen = makeTempDir();
    ::chmod(chosen.c_str(), 0777);
    const std::string notice = "に変換エラーのログを出力しました。";
    const struct {
        std::string env;
        std::string logDir;
    } cases[] = {
        // (A log directory that cannot be written, and no log anywhere, is a Pipes case.)
        {"", inst.work},                     // not beside the executable
        {"VELK_LOG_DIR=" + chosen, chosen},  // the variable wins
    };
    for (const auto& c : cases) {
        const auto r = inst.run("j2s 1 3 0 in.jef out.txt", c.env);
        std::vector<std::string> logs;
        for (const std::string& d : {inst.bin, inst.work, chosen})
            for (const auto& e : fs::directory_iterator(d))
                if (e.path().filename().string().rfind("VELK_LOG_", 0) == 0) logs.push_back(e.path());
        ASSERT_EQ(logs.size(), 1u) << c.env;
        EXPECT_EQ(fs::path(logs[0]).parent_path(), fs::path(c.logDir));
        EXPECT_NE(r.err.find("\n\n" + logs[0] + notice), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("のオープンに失敗しました"), std::string::npos) << r.out;
        fs::remove(logs[0]);
    }
}

}  // namespace
