// State of one j2s run, shared by the stream and the record conversions.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "driver/file_io.h"
#include "j2sconv/record_pattern.h"

namespace velk::j2s {

struct Run {
    int optLog = 0;
    FileHandle jefFile;            // input
    FileHandle sjisFile;           // output
    std::FILE* log = nullptr;      // conversion-error lines: the log file, or stdout
    std::int64_t jefSize = 0;      // input size in bytes
    bool addLineEnd = false;       // CR LF after every block or record
    std::vector<std::uint8_t> inBuf;
    std::vector<std::uint8_t> outBuf;
    PatternSet patterns;
};

}  // namespace velk::j2s
