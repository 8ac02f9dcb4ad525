// The small POSIX layer that stands in for the console and module calls the
// tool was designed around: executable directory, file deletion, key wait,
// terminal-aware text output.
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

// True when a person can see a prompt and answer it: standard input and
// standard error are the controlling terminal and the process is in its
// foreground process group.
bool canAskForKey();

// Waits for one key press on standard input (the controlling terminal),
// without echo, when
// canAskForKey(); otherwise returns at once.
void waitForKey();

// Every message is Shift-JIS. Files and pipes receive those bytes unchanged;
// a terminal whose locale codeset is not Shift-JIS gets them converted.
void writeText(std::FILE* stream, std::string_view sjis);
void printText(std::FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Where worker messages go: standard output, or standard error when a run
// writes its data to standard output. Each worker sets it at its start.
std::FILE* messageStream();
void setMessagesToStderr(bool toStderr);

// Shift-JIS text converted to the locale's codeset wherever it goes.
void writeLocaleText(std::FILE* stream, std::string_view sjis);

// True when a file (of any kind) exists at path.
bool fileExists(const char* path);

// Shift-JIS text as it should appear on file descriptor fd.
std::string textForFd(int fd, std::string_view sjis);

bool isTerminal(int fd);

// Bytes straight to the descriptor, unbuffered, retried until all are written.
void writeRaw(int fd, std::string_view bytes);

}  // namespace velk::platform
