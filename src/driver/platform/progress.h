// The console progress line "処理経過:done/totalbytes", rewritten in place.
#pragma once

#include <cstdint>

namespace velk {

// Owned by one conversion loop. The first call records the cursor cell and
// shows nothing; every later call rewrites the line at that cell.
struct ProgressState {
    bool started = false;
    bool onTerminal = false;
};

void showProgress(ProgressState& state, std::int64_t done, std::int64_t total);

}  // namespace velk
