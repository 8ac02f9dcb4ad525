// velk on a pseudo-terminal: key waits, signals during the wait, the
// progress line beside messages, narrow and dumb terminals, a C locale and
// --help/--version. A small "shell" on the terminal's slave side runs velk in
// its own process group, in the foreground or the background, as a shell
// would. Every wait is bounded; nothing waits for a person.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/iconv_text.h"
#include "support/run_velk.h"

namespace {

using velk::test::makeTempDir;
using velk::test::writeFile;

struct Session {
    std::vector<std::string> args;
    std::vector<std::string> env = {"LANG=C.UTF-8", "TERM=xterm"};
    bool foreground = true;
    int columns = 120;
    std::string stdinFile = "";   // "" keeps the terminal; else this file
    std::string stderrFile = "";  // "" keeps the terminal; else this file
};

// The test's literals are Shift-JIS like the product's; the terminal shows UTF-8.
std::string sjisToUtf8(const std::string& sjis) { return velk::test::iconvAll("UTF-8", "CP932", sjis).value(); }

class Terminal {
public:
    explicit Terminal(const Session& s) {
        winsize ws{};
        ws.ws_row = 40;
        ws.ws_col = static_cast<unsigned short>(s.columns);
        int pidPipe[2];
        if (pipe(pidPipe) != 0) std::abort();
        std::vector<std::string> argv = s.args;
        argv.insert(argv.begin(), VELK_BINARY);
        shell_ = forkpty(&master_, nullptr, nullptr, &ws);
        if (shell_ == 0) runShell(s, argv, pidPipe[1]);
        close(pidPipe[1]);
        if (read(pidPipe[0], &velk_, sizeof velk_) != sizeof velk_) velk_ = -1;
        close(pidPipe[0]);
    }
    ~Terminal() {
        if (shell_ > 0 && status_ < 0) {
            kill(velk_, SIGKILL);
            kill(shell_, SIGKILL);
            waitpid(shell_, nullptr, 0);
        }
        close(master_);
    }

    // Polls a condition on the terminal, reading its output meanwhile.
    template <typename F>
    bool until(F condition, int ms = 10000) {
        const long long end = nowMs() + ms;
        while (!condition()) {
            if (nowMs() >= end) return false;
            pump(20);
        }
        return true;
    }
    // The slave's modes, as velk set them.
    bool canonical() const {
        termios t{};
        int fd = open(ptsname(master_), O_RDWR | O_NOCTTY);
        tcgetattr(fd, &t);
        close(fd);
        return (t.c_lflag & ICANON) != 0;
    }
    char velkState() const {
        std::ifstream stat("/proc/" + std::to_string(velk_) + "/stat");
        std::string pid, name, state;
        stat >> pid >> name >> state;
        return state.empty() ? '?' : state[0];
    }
    void type(const std::string& keys) { (void)write(master_, keys.data(), keys.size()); }
    void signal(int sig) { kill(velk_, sig); }
    // velk's exit status, or 128 + signal; -1 when it has not ended in time.
    int finish(int ms = 20000) {
        until([this] { return waitpid(shell_, &status_, WNOHANG) == shell_; }, ms);
        if (status_ < 0) return -1;
        pump(0);
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 1000 + WTERMSIG(status_);
    }
    const std::string& screen() const { return screen_; }

private:
    // The slave side: a session leader that starts velk in a process group
    // of its own and hands it the terminal (foreground) or not (background),
    // then reports how velk ended through its own exit status.
    [[noreturn]] static void runShell(const Session& s, const std::vector<std::string>& args,
                                      int pidFd) {
        ::signal(SIGTTOU, SIG_IGN);
        pid_t child = fork();
        if (child == 0) {
            setpgid(0, 0);
            if (s.foreground) tcsetpgrp(0, getpid());  // before exec, as shells do
            ::signal(SIGTTOU, SIG_DFL);
            if (!s.stdinFile.empty()) dup2(open(s.stdinFile.c_str(), O_RDONLY), 0);
            if (!s.stderrFile.empty())
                dup2(open(s.stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            std::vector<char*> argv, envp;
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            for (const std::string& e : s.env) envp.push_back(const_cast<char*>(e.c_str()));
            argv.push_back(nullptr);
            envp.push_back(nullptr);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        setpgid(child, child);
        if (s.foreground) tcsetpgrp(0, child);
        (void)write(pidFd, &child, sizeof child);
        int st = 0;
        // Stops are seen by the test through /proc; the shell waits for the end.
        while (waitpid(child, &st, 0) < 0) {
        }
        _exit(WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st));
    }

    static long long nowMs() {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
    }

    // Reads what the terminal shows; sleeps up to ms when there is nothing.
    void pump(int ms) {
        pollfd p{master_, POLLIN, 0};
        char buf[65536];
        while (poll(&p, 1, ms) > 0) {
            ssize_t n = read(master_, buf, sizeof buf);
            if (n <= 0) {  // slave side closed: nothing more will come
                if (ms > 0) usleep(static_cast<useconds_t>(ms) * 1000);
                break;
            }
            screen_.append(buf, static_cast<std::size_t>(n));
            ms = 0;
        }
    }

    int master_ = -1;
    pid_t shell_ = -1;
    pid_t velk_ = -1;
    int status_ = -1;
    std::string screen_;
};

TEST(Terminal, WaitsForAKeyOnlyWhenAPersonCanAnswer) {
    const std::string dir = makeTempDir();
    const struct {
        const char* what;
        Session session;
    } noWait[] = {
        {"input from /dev/null", {{"v"}, {"LANG=C.UTF-8"}, true, 120, "/dev/null", ""}},
        {"standard error to a file", {{"v"}, {"LANG=C.UTF-8"}, true, 120, "", dir + "/err"}},
        {"background job", {{"v"}, {"LANG=C.UTF-8"}, false}},
    };
    for (const auto& c : noWait) {
        Terminal t(c.session);
        EXPECT_NE(t.finish(), -1) << c.what << ": still running, state " << t.velkState();
        EXPECT_TRUE(t.canonical()) << c.what;
    }
}

TEST(Terminal, SignalsDuringTheWaitRestoreTheTerminal) {
    {  // A fatal signal restores the modes and ends velk by that signal.
        Terminal t({{"v"}});
        ASSERT_TRUE(t.until([&] { return !t.canonical(); }));
        t.signal(SIGTERM);
        EXPECT_EQ(t.finish(), 128 + SIGTERM);
        EXPECT_TRUE(t.canonical());
    }
    {  // Raw mode until a key; Ctrl-Z gives the shell its line mode back, fg raw mode.
        Terminal t({{"v"}});
        ASSERT_TRUE(t.until([&] { return !t.canonical(); }));
        t.signal(SIGTSTP);
        EXPECT_TRUE(t.until([&] { return t.velkState() == 'T' && t.canonical(); }));
        t.signal(SIGCONT);
        EXPECT_TRUE(t.until([&] { return !t.canonical(); }));
        t.type("x");
        EXPECT_EQ(t.finish(), 0);
        EXPECT_TRUE(t.canonical());
    }
}

// Lines as a terminal would keep them: ESC 7 / ESC 8 and CR rewrite the line.
std::vector<std::string> visibleLines(const std::string& screen) {
    std::vector<std::string> lines(1);
    struct {
        std::size_t row = 0, col = 0;
    } at, saved;
    for (std::size_t i = 0; i < screen.size(); ++i) {
        const char c = screen[i];
        if (c == '\033' && i + 1 < screen.size() && (screen[i + 1] == '7' || screen[i + 1] == '8')) {
            if (screen[++i] == '7') saved = at;
            else at = saved;
        } else if (c == '\r') {
            at.col = 0;
        } else if (c == '\n') {
            if (++at.row == lines.size()) lines.emplace_back();
            at.col = 0;
        } else {
            std::string& line = lines[at.row];
            if (at.col < line.size()) line[at.col] = c;
            else line.push_back(c);
            ++at.col;
        }
    }
    return lines;
}

TEST(Terminal, MessagesStayVisibleBelowTheProgressLine) {
    const std::string dir = makeTempDir();
    // Lower case under optConv 1 on three lines: six error messages mid-run.
    std::string text;
    for (int i = 0; i < 30000; ++i) text += i % 10000 == 5 ? "ab\r\n" : "ABCDEFGH\r\n";
    writeFile(dir + "/mixed.txt", text);
    Terminal t({{"s2j", "1", "1", "1", dir + "/mixed.txt", dir + "/mixed.jef"}});
    EXPECT_EQ(t.finish(), 1);
    const std::vector<std::string> lines = visibleLines(t.screen());
    int errors = 0;
    for (const std::string& l : lines) errors += l.find(sjisToUtf8("行=")) != std::string::npos;
    EXPECT_EQ(errors, 6) << t.screen();
    const std::string total = std::to_string(text.size());
    const std::string last = sjisToUtf8("処理経過:" + total + "/" + total + "bytes");
    EXPECT_NE(t.screen().find(last + "\r\n"), std::string::npos) << t.screen();

    // A write failure after the progress line: the message on a line of its own.
    Terminal full({{"s2j", "1", "1", "1", dir + "/mixed.txt", "/dev/full"}});
    EXPECT_EQ(full.finish(), 2);
    EXPECT_NE(full.screen().find("bytes\r\n(/dev/full)"), std::string::npos) << full.screen();
}

TEST(Terminal, RedrawsAFewTimesASecondAndShowsTheFinalCount) {
    const std::string dir = makeTempDir();
    constexpr int kRecords = 200000;
    writeFile(dir + "/recs.jef", std::string(kRecords * 10, '\xC1'));
    writeFile(dir + "/p.ptn", "XXXXXXXXXX\n");
    Terminal t({{"j2s", "1", "1", "1", dir + "/recs.jef", dir + "/recs.txt", dir + "/p.ptn"}});
    EXPECT_EQ(t.finish(60000), 0);
    std::size_t redraws = 0;
    for (std::size_t at = 0; (at = t.screen().find("\0338", at)) != std::string::npos; ++at) ++redraws;
    EXPECT_GE(redraws, 1u);
    EXPECT_LT(redraws, kRecords / 100u);  // once per record would be 200000
    const std::string total = std::to_string(kRecords * 10);
    EXPECT_NE(t.screen().find(sjisToUtf8("処理経過:" + total + "/" + total + "bytes")), std::string::npos);
}

// A stream's line has the bytes done and no total; a dumb terminal's line is
// redrawn by a carriage return alone.
TEST(Terminal, AStreamOnADumbTerminal) {
    const std::string dir = makeTempDir();
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Feeds the FIFO once velk's side has opened it; gives up after 20 s.
    std::thread writer([&fifo] {
        int fd = -1;
        for (int tries = 0; fd < 0 && tries < 2000; ++tries) {
            fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) usleep(10000);
        }
        if (fd < 0) return;
        fcntl(fd, F_SETFL, 0);
        const std::string data(100000, '\xC1');
        (void)write(fd, data.data(), data.size());
        close(fd);
    });
    Session s{{"j2s", "1", "1", "0", "-", dir + "/out.txt"}, {"LANG=C.UTF-8", "TERM=dumb"}};
    s.stdinFile = fifo;
    Terminal t(s);
    EXPECT_EQ(t.finish(), 0);
    writer.join();
    EXPECT_EQ(t.screen().find('\033'), std::string::npos) << t.screen();
    const std::size_t at = t.screen().find(sjisToUtf8("処理経過:100000bytes"));
    ASSERT_TRUE(at != std::string::npos && at > 0) << t.screen();
    EXPECT_EQ(t.screen()[at - 1], '\r');
}

TEST(Terminal, NarrowTerminal) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/in.jef", std::string(100000, '\xC1'));
    Terminal t({{"j2s", "1", "1", "0", dir + "/in.jef", dir + "/out.txt"}, {"LANG=C.UTF-8", "TERM=xterm"}, true, 20});
    EXPECT_EQ(t.finish(), 0);
    for (const std::string& l : visibleLines(t.screen())) {
        std::size_t columns = 0;  // UTF-8: kanji 3 bytes, 2 columns
        for (unsigned char c : l) columns += c < 0x80 ? 1 : (c & 0xC0) == 0xC0 ? 2 : 0;
        EXPECT_LT(columns, 20u) << l;
    }
}

TEST(Terminal, CLocaleAndInformationScreens) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> env;
        std::string expected;  // start of the screen
    } cases[] = {
        {{"--version"}, {"LANG=C"}, "VELK V1.10 JEF/EBCDIC <-> ???JIS ?????\r\n"},
        {{"-V"}, {"LANG=C.UTF-8"}, "VELK V1.10 " + sjisToUtf8("JEF/EBCDIC <-> シフトJIS 変換ツール") + "\r\n"},
        {{"--help"}, {"LANG=C.UTF-8"}, std::string(47, '*') + "\r\n" + sjisToUtf8("*** シフトJISコード")},
        {{"-h"}, {"LANG=C"}, std::string(47, '*') + "\r\n*** ???JIS??? "},
    };
    for (const auto& c : cases) {
        Terminal t({c.args, c.env});
        EXPECT_EQ(t.finish(), 0) << c.args[0];  // no key needed
        EXPECT_EQ(t.screen().substr(0, c.expected.size()), c.expected) << t.screen();
        EXPECT_EQ(t.screen().find("!!"), std::string::npos);  // no key prompt
        if (c.env[0] == "LANG=C") {
            for (unsigned char b : t.screen()) ASSERT_LT(b, 0x80) << "raw Shift-JIS on a C terminal";
        }
        if (c.args[0] == "--help") {  // every command's screen, the UTF-8 ones last
            EXPECT_NE(t.screen().find(sjisToUtf8("*** UTF-8コード から JEFコード")), std::string::npos);
            EXPECT_NE(t.screen().find(sjisToUtf8("*** JEFコード から UTF-8コード")), std::string::npos);
        }
    }
}

}  // namespace
