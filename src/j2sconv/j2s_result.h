// Result codes of the j2s worker. Note that s2j uses -10 and -11 the other
// way round (input -10, output -11): use these names, never the numbers.
#pragma once

#include <cstdint>

namespace velk::j2s {

enum Result : std::int32_t {
    kUnmapped = -1,        // converted, with characters that had no mapping
    kBadPattern = -2,      // a pattern line or a pattern run is malformed
    kOutputOpen = -10,     // the output cannot be created (or is the input)
    kInputOpen = -11,      // the input cannot be opened or examined
    kPatternOpen = -12,    // the pattern file cannot be opened or read
    kEmptyInput = -16,
    kEmptyPattern = -17,   // the pattern file is empty or has no pattern line
    kReadFailed = -21,
    kWriteFailed = -25,
    kNoMemory = -30,
};

}  // namespace velk::j2s
