#include "platform/platform.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <strings.h>
#include <vector>

#include "platform/progress.h"

namespace velk::platform {

std::string executableDir() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buf.size()) {
            std::string path(buf.data(), static_cast<size_t>(n));
            size_t slash = path.rfind('/');
            if (slash == std::string::npos) return {};
            return path.substr(0, slash + 1);
        }
        buf.resize(buf.size() * 2);
    }
}

void deleteFile(const char* path) { (void)unlink(path); }

bool isTerminal(int fd) { return isatty(fd) == 1; }

namespace {

bool codesetIsShiftJis(const char* cs) {
    static const char* const names[] = {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "CP932",
                                        "WINDOWS-31J", "MS_KANJI", "CSSHIFTJIS"};
    for (const char* n : names)
        if (strcasecmp(cs, n) == 0) return true;
    return false;
}

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// One converter for the process; the locale does not change while we run.
struct TerminalConverter {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    bool needed = false;
    TerminalConverter() {
        const char* cs = nl_langinfo(CODESET);
        if (cs == nullptr || *cs == '\0' || codesetIsShiftJis(cs)) return;
        cd = iconv_open(cs, "CP932");
        needed = cd != reinterpret_cast<iconv_t>(-1);
    }
    ~TerminalConverter() {
        if (needed) iconv_close(cd);
    }
    std::string convert(std::string_view in) {
        std::string out;
        out.resize(in.size() * 4 + 16);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        while (srcLeft > 0) {
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) {
                size_t used = out.size() - dstLeft;
                out.resize(out.size() * 2);
                dst = out.data() + used;
                dstLeft = out.size() - used;
                continue;
            }
            // Not representable here: one '?' for the whole character, so a
            // double-byte character does not turn into a '?' and a stray letter.
            if (dstLeft == 0) {
                size_t used = out.size();
                out.resize(out.size() * 2);
                dst = out.data() + used;
                dstLeft = out.size() - used;
            }
            *dst++ = '?';
            --dstLeft;
            size_t width = isLeadByte(static_cast<unsigned char>(*src)) && srcLeft >= 2 ? 2 : 1;
            src += width;
            srcLeft -= width;
        }
        out.resize(out.size() - dstLeft);
        return out;
    }
};

TerminalConverter& terminalConverter() {
    static TerminalConverter conv;
    return conv;
}

}  // namespace

std::string textForFd(int fd, std::string_view sjis) {
    if (!isTerminal(fd)) return std::string(sjis);
    TerminalConverter& conv = terminalConverter();
    if (!conv.needed) return std::string(sjis);
    return conv.convert(sjis);
}

void writeText(std::FILE* stream, std::string_view sjis) {
    int fd = fileno(stream);
    if (fd >= 0 && isTerminal(fd)) {
        endProgressLine(!sjis.empty() && sjis.front() == '\n');
        std::string text = textForFd(fd, sjis);
        std::fwrite(text.data(), 1, text.size(), stream);
    } else {
        std::fwrite(sjis.data(), 1, sjis.size(), stream);
    }
}

void writeLocaleText(std::FILE* stream, std::string_view sjis) {
    TerminalConverter& conv = terminalConverter();
    std::string text = conv.needed ? conv.convert(sjis) : std::string(sjis);
    std::fwrite(text.data(), 1, text.size(), stream);
}

namespace {
bool gMessagesToStderr = false;
}  // namespace

std::FILE* messageStream() { return gMessagesToStderr ? stderr : stdout; }

void setMessagesToStderr(bool toStderr) { gMessagesToStderr = toStderr; }

bool fileExists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

void printText(std::FILE* stream, const char* format, ...) {
    char small[512];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof small) {
        writeText(stream, std::string_view(small, static_cast<size_t>(n)));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    va_start(ap, format);
    std::vsnprintf(big.data(), big.size(), format, ap);
    va_end(ap);
    big.resize(static_cast<size_t>(n));
    writeText(stream, big);
}

namespace {

void writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace

void writeRaw(int fd, std::string_view bytes) { writeAll(fd, bytes); }

// Key wait. Only a person at the controlling terminal can answer it, so it
// waits only when standard input and standard error are that terminal and
// the process is in its foreground group. The terminal's modes are changed
// and put back only from the foreground (never stopping on SIGTTOU), and
// every way out restores them: a fatal signal, Ctrl-Z (raw mode again after
// SIGCONT) or the key itself.
namespace {

int gTtyFd = -1;
termios gSavedTty;
termios gRawTty;

bool inForeground(int fd) { return tcgetpgrp(fd) == getpgrp(); }

// Async-signal-safe: called from the handlers below.
bool setModes(const termios& modes) {
    if (gTtyFd < 0 || !inForeground(gTtyFd)) return false;
    sigset_t ttou, old;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &old);
    bool ok = tcsetattr(gTtyFd, TCSANOW, &modes) == 0;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return ok;
}

void raiseWithDefault(int sig) {
    signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    sigprocmask(SIG_UNBLOCK, &one, nullptr);
    raise(sig);
}

void onFatal(int sig) {
    setModes(gSavedTty);
    raiseWithDefault(sig);
}

void onContinue(int) { setModes(gRawTty); }

void onStop(int sig);

struct sigaction handlerFor(void (*fn)(int)) {
    struct sigaction act {};
    act.sa_handler = fn;
    sigemptyset(&act.sa_mask);
    return act;
}

void onStop(int sig) {
    setModes(gSavedTty);
    raiseWithDefault(sig);  // stops here until SIGCONT, whose handler sets raw mode again
    struct sigaction again = handlerFor(onStop);
    sigaction(sig, &again, nullptr);
}

bool sameDevice(int a, int b) {
    struct stat sa {}, sb {};
    return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_rdev == sb.st_rdev;
}

}  // namespace

bool canAskForKey() {
    // tcgetsid succeeds only on the caller's own controlling terminal.
    return isTerminal(STDIN_FILENO) && isTerminal(STDERR_FILENO) &&
           sameDevice(STDIN_FILENO, STDERR_FILENO) && tcgetsid(STDIN_FILENO) == getsid(0) &&
           inForeground(STDIN_FILENO);
}

void waitForKey() {
    if (!canAskForKey()) return;
    const int fd = STDIN_FILENO;
    termios saved;
    if (tcgetattr(fd, &saved) != 0) return;
    gSavedTty = saved;
    gRawTty = saved;
    gRawTty.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    gRawTty.c_cc[VMIN] = 1;
    gRawTty.c_cc[VTIME] = 0;
    gTtyFd = fd;

    struct Handled {
        int sig;
        void (*fn)(int);
        struct sigaction old;
    } handled[] = {{SIGINT, onFatal, {}},  {SIGQUIT, onFatal, {}}, {SIGTERM, onFatal, {}},
                   {SIGHUP, onFatal, {}},  {SIGTSTP, onStop, {}},  {SIGCONT, onContinue, {}}};
    for (Handled& h : handled) {
        struct sigaction act = handlerFor(h.fn);
        sigaction(h.sig, &act, &h.old);
    }
    if (setModes(gRawTty)) {
        unsigned char key;
        while (read(fd, &key, 1) < 0 && errno == EINTR) {
        }
        setModes(gSavedTty);
    }
    for (Handled& h : handled) sigaction(h.sig, &h.old, nullptr);
    gTtyFd = -1;
}

}  // namespace velk::platform
