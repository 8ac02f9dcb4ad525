#include "platform/platform.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <strings.h>
#include <vector>

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
            // Not representable here: show a '?' and go on with the next byte.
            if (dstLeft == 0) continue;
            *dst++ = '?';
            --dstLeft;
            ++src;
            --srcLeft;
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
        std::string text = textForFd(fd, sjis);
        std::fwrite(text.data(), 1, text.size(), stream);
    } else {
        std::fwrite(sjis.data(), 1, sjis.size(), stream);
    }
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

void saveCursor(int fd) {
    if (isTerminal(fd)) writeAll(fd, "\0337");
}

void writeAtSavedCursor(int fd, std::string_view sjis) {
    if (!isTerminal(fd)) return;
    writeAll(fd, "\0338" + textForFd(fd, sjis));
}

// Key wait. The terminal settings are put back on every way out, including
// an interrupt or termination signal while we wait.
namespace {

int gTtyFd = -1;
termios gSavedTty;

void restoreTtyAndReraise(int sig) {
    if (gTtyFd >= 0) tcsetattr(gTtyFd, TCSANOW, &gSavedTty);
    signal(sig, SIG_DFL);
    raise(sig);
}

}  // namespace

void waitForKey() {
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return;
    termios saved;
    if (tcgetattr(fd, &saved) != 0) {
        close(fd);
        return;
    }
    gSavedTty = saved;
    gTtyFd = fd;
    const int sigs[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
    struct sigaction act {}, old[4];
    act.sa_handler = restoreTtyAndReraise;
    sigemptyset(&act.sa_mask);
    for (int i = 0; i < 4; ++i) sigaction(sigs[i], &act, &old[i]);

    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &raw) == 0) {
        unsigned char key;
        while (read(fd, &key, 1) < 0 && errno == EINTR) {
        }
        tcsetattr(fd, TCSANOW, &saved);
    }
    for (int i = 0; i < 4; ++i) sigaction(sigs[i], &old[i], nullptr);
    gTtyFd = -1;
    close(fd);
}

}  // namespace velk::platform
