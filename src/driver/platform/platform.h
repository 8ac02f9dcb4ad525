// The small POSIX layer that stands in for the console and module calls the
// tool was designed around: executable directory, file deletion, key wait,
// terminal-aware text output and the saved-cursor progress primitive.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace velk::platform {

// Directory of the running executable with its trailing '/', or "" when it
// cannot be read.
std::string executableDir();

// Removes a file; callers ignore the outcome.
void deleteFile(const char* path);

// Waits for one key press on the controlling terminal, without echo.
// Returns at once when the process has no terminal.
void waitForKey();

// Every message is Shift-JIS. Files and pipes receive those bytes unchanged;
// a terminal whose locale codeset is not Shift-JIS gets them converted.
void writeText(std::FILE* stream, std::string_view sjis);
void printText(std::FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Shift-JIS text as it should appear on file descriptor fd.
std::string textForFd(int fd, std::string_view sjis);

bool isTerminal(int fd);

// Progress primitive: remember the cursor cell (ESC 7), later write at it
// (ESC 8). Unbuffered, straight to the descriptor; nothing on a non-terminal.
void saveCursor(int fd);
void writeAtSavedCursor(int fd, std::string_view sjis);

}  // namespace velk::platform
