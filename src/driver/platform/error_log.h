// The run's error log: a file of its own beside the executable, never one
// that another run started in the same second is still writing.
#pragma once

#include <cstddef>
#include <cstdio>

namespace velk::platform {

struct ErrorLogOpen {
    std::FILE* file = nullptr;  // open for writing, or null
    int error = 0;              // errno of the failure
    bool nameTaken = false;     // the failure left logPath naming someone else's file
};

// Creates logPath exclusively. When that name exists, tries the same name
// with _2, _3, ... before ".txt" and writes the name it used back into
// logPath (capacity bytes), so that the caller deletes only its own file.
ErrorLogOpen openErrorLog(char* logPath, std::size_t capacity);

}  // namespace velk::platform
