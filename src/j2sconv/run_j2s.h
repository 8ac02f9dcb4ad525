// The j2s worker's file side, for tests: loading a pattern file with its
// messages.
#pragma once

#include <cstdint>

#include "j2sconv/j2s_options.h"
#include "j2sconv/record_pattern.h"

namespace velk::j2s {

// Loads path into set (emptied first), writing messages under optLog.
// Returns 0, or kBadPattern, kPatternOpen, kEmptyPattern, kNoMemory.
std::int32_t loadPatternFile(int optLog, const Options& options, const char* path,
                             PatternSet& set);

}  // namespace velk::j2s
