// The generated CP932 lists (cp932_data.cpp); cp932.cpp builds the look-up
// tables from them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velk::cp932 {

// Consecutive Shift-JIS codes from `first`: either code points counting up
// from `value` (counted) or kCodePoints[value...].
struct Run {
    std::uint16_t first;
    std::uint16_t length;
    bool counted;
    std::uint16_t value;
};

struct BackEntry {
    std::uint16_t codePoint;
    std::uint16_t sjis;
};

extern const Run kRuns[];
extern const std::size_t kRunCount;
extern const std::uint16_t kCodePoints[];
extern const BackEntry kBack[];
extern const std::size_t kBackCount;

}  // namespace velk::cp932
