// Reading record pattern files: one pattern per line, each optionally led by
// a keyword prefix "position:keyword:" that picks it for matching records.
#pragma once

#include <cstdint>
#include <string_view>

#include "j2sconv/j2s_run.h"
#include "j2sconv/record_pattern.h"

namespace velk::j2s {

// Loads path into run.patterns (emptied first), writing messages under
// run.optLog. Keywords go to EBCDIC through the a2e table of optConv.
// Returns 0, or -2 (malformed line), -12 (cannot open or read), -17 (empty,
// or no pattern line), -30 (out of memory).
std::int32_t readPatternFile(Run& run, int optConv, const char* path);

struct PatternSizes {
    std::int64_t maxPatternLength = 0;
    std::int64_t maxSourceLength = 0;
};

// Largest pattern and largest source record over the set (0 when empty).
PatternSizes summarisePatterns(const PatternSet& set);

// Source bytes a pattern takes from a record: one per N, X, A, 9, S; a packed
// run of n C or P digit positions takes n/2 + 1.
std::int64_t sourceLengthOf(std::string_view pattern);

}  // namespace velk::j2s
