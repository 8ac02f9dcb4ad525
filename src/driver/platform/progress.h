// The console progress line "処理経過:done/totalbytes", rewritten in place.
#pragma once

#include <cstdint>

namespace velk {

// Owned by one conversion loop. The first call records the cursor cell and
// shows nothing; later calls rewrite the line at that cell, at most about ten
// times a second, and always when done reaches total. The last count passed
// is drawn when the state goes away, so the final figure stays visible.
struct ProgressState {
    bool started = false;
    bool onTerminal = false;
    ProgressState() = default;
    ProgressState(const ProgressState&) = delete;
    ProgressState& operator=(const ProgressState&) = delete;
    ~ProgressState();
};

// A total below 0 is unknown (the input is a stream): only the bytes done
// are shown, "処理経過:donebytes".
void showProgress(ProgressState& state, std::int64_t done, std::int64_t total);

// Called before any other text goes to a terminal: draws a count still
// waiting, then ends the progress line (a line feed, unless the text itself
// starts with one) so that the text appears below it and the next redraw
// starts a new line under the text.
void endProgressLine(bool textStartsWithLineFeed);

}  // namespace velk
