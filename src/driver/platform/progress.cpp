#include "platform/progress.h"

#include <cinttypes>
#include <cstdio>
#include <unistd.h>

#include "platform/platform.h"

namespace velk {

void showProgress(ProgressState& state, std::int64_t done, std::int64_t total) {
    if (!state.started) {
        state.started = true;
        state.onTerminal = platform::isTerminal(STDERR_FILENO);
        if (state.onTerminal) {
            std::fflush(stdout);  // keep earlier messages above the line
            platform::saveCursor(STDERR_FILENO);
        }
        return;
    }
    if (!state.onTerminal) return;
    char text[64];
    int n = std::snprintf(text, sizeof text, "処理経過:%" PRId64 "/%" PRId64 "bytes", done, total);
    std::fflush(stdout);
    platform::writeAtSavedCursor(STDERR_FILENO, std::string_view(text, static_cast<size_t>(n)));
}

}  // namespace velk
