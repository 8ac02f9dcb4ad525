#include "platform/progress.h"

#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace velk {

namespace {

// Redrawing a terminal line costs far more than converting a short record.
constexpr std::int64_t kRedrawIntervalNs = 100'000'000;

// The one progress line of the process (one conversion runs at a time).
struct Line {
    int fd = STDERR_FILENO;
    bool carriageReturn = false;  // no cursor save/restore on this terminal
    bool anchored = false;        // ESC 7 written for the current line
    bool shown = false;           // some count stands on the current line
    bool pending = false;         // a count not drawn yet
    std::int64_t done = 0, total = 0;
    std::int64_t lastDrawNs = INT64_MIN / 2;
} gLine;

// <chrono> cannot be compiled with this project's execution charset.
std::int64_t nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool terminalLacksSaveRestore() {
    const char* term = std::getenv("TERM");
    return term == nullptr || *term == '\0' || std::strcmp(term, "dumb") == 0 ||
           std::strcmp(term, "unknown") == 0;
}

// Cuts Shift-JIS text to `columns` display columns (a double-byte character
// takes two) at a character boundary, so that the line never wraps.
std::string_view fitColumns(std::string_view sjis, int columns) {
    std::size_t at = 0;
    int used = 0;
    while (at < sjis.size()) {
        const auto c = static_cast<unsigned char>(sjis[at]);
        const bool wide = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        const int width = wide ? 2 : 1;
        if (used + width > columns) break;
        used += width;
        at += wide ? 2 : 1;
    }
    return sjis.substr(0, std::min(at, sjis.size()));
}

void draw() {
    char text[64];
    int n = gLine.total < 0
                ? std::snprintf(text, sizeof text, "処理経過:%" PRId64 "bytes", gLine.done)
                : std::snprintf(text, sizeof text, "処理経過:%" PRId64 "/%" PRId64 "bytes",
                                gLine.done, gLine.total);
    std::string_view line(text, static_cast<std::size_t>(n));
    winsize ws{};
    // The last column is left free: writing into it wraps on many terminals.
    if (ioctl(gLine.fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1) line = fitColumns(line, ws.ws_col - 1);
    std::fflush(stdout);
    std::string out;
    if (gLine.carriageReturn) {
        out = "\r";
    } else {
        if (!gLine.anchored) out = "\0337";
        out += "\0338";
    }
    gLine.anchored = true;
    out += platform::textForFd(gLine.fd, line);
    platform::writeRaw(gLine.fd, out);
    gLine.shown = true;
    gLine.pending = false;
    gLine.lastDrawNs = nowNs();
}

}  // namespace

void showProgress(ProgressState& state, std::int64_t done, std::int64_t total) {
    if (!state.started) {
        state.started = true;
        state.onTerminal = platform::isTerminal(STDERR_FILENO);
        if (state.onTerminal) {
            std::fflush(stdout);  // keep earlier messages above the line
            gLine = Line{};
            gLine.carriageReturn = terminalLacksSaveRestore();
            if (!gLine.carriageReturn) {
                platform::writeRaw(gLine.fd, "\0337");
                gLine.anchored = true;
            }
        }
        return;
    }
    if (!state.onTerminal) return;
    gLine.done = done;
    gLine.total = total;
    gLine.pending = true;
    if ((total >= 0 && done >= total) || nowNs() - gLine.lastDrawNs >= kRedrawIntervalNs) draw();
}

ProgressState::~ProgressState() {
    if (onTerminal && gLine.pending) draw();
}

void endProgressLine(bool textStartsWithLineFeed) {
    if (gLine.pending) draw();
    if (gLine.shown && !textStartsWithLineFeed) platform::writeRaw(gLine.fd, "\n");
    gLine.shown = false;
    gLine.anchored = false;
}

}  // namespace velk
