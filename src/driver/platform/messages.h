// Worker messages: Shift-JIS text on standard output, or on standard error
// while the data goes to standard output; written only when the run's
// optLog is 1 (the log-open failure of j2s uses printText directly).
#pragma once

#include <cstdio>

#include "platform/file_io.h"
#include "platform/platform.h"

namespace velk {

template <typename... Args>
void say(int optLog, const char* format, Args... args) {
    if (optLog != 1) return;
    if constexpr (sizeof...(Args) == 0) {
        platform::writeText(platform::messageStream(), format);
    } else {
        platform::printText(platform::messageStream(), format, args...);
    }
}

// How a data path appears in messages: "-" by the stream it stands for.
inline const char* inputName(const char* path) {
    return isStdioPath(path) ? "標準入力" : path;
}
inline const char* outputName(const char* path) {
    return isStdioPath(path) ? "標準出力" : path;
}

}  // namespace velk
