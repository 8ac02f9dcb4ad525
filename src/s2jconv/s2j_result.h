// Result codes of the s2j worker. Note that j2s uses -10 and -11 the other
// way round (output -10, input -11): use these names, never the numbers.
#pragma once

#include <cstdint>

namespace velk::s2j {

enum Result : std::int32_t {
    kUnmapped = -1,       // converted, with characters that had no mapping
    kInputOpen = -10,     // the input cannot be opened or examined
    kOutputOpen = -11,    // the output cannot be created (or is the input)
    kEmptyInput = -15,
    kReadFailed = -20,
    kWriteFailed = -26,
    kNoMemory = -30,
};

}  // namespace velk::s2j
