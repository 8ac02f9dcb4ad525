// Pattern-driven conversion: record by record under the run's patterns.
#pragma once

#include <cstdint>

#include "j2sconv/j2s_run.h"

namespace velk::j2s {

// Returns the number of line ends written, -1 after unmapped characters, or
// -2, -21, -25, -30 on a hard failure.
std::int32_t convertRecords(Run& run, int optConv, int optSkip, int trimFlags,
                            std::int64_t readLength);

}  // namespace velk::j2s
