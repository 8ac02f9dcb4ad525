// Worker messages: Shift-JIS text on standard output, written only when the
// run's optLog is 1 (the log-open failure of j2s uses printText directly).
#pragma once

#include <cstdio>

#include "platform/platform.h"

namespace velk {

template <typename... Args>
void say(int optLog, const char* format, Args... args) {
    if (optLog != 1) return;
    if constexpr (sizeof...(Args) == 0) {
        platform::writeText(stdout, format);
    } else {
        platform::printText(stdout, format, args...);
    }
}

}  // namespace velk
