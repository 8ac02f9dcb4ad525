// Trimming of the comma-separated fields of one converted record.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/level.h"

namespace velk::j2s {

// trimFlags bits.
inline constexpr int trimSqueeze = 1;      // both ends, and inner runs of pads reduced to one
inline constexpr int trimStart = 2;        // pads at the start
inline constexpr int trimEnd = 4;          // pads at the end
inline constexpr int trimDoubleOnly = 8;   // single-byte fields are left as they are

// The j2s optTrim values 0..8 as bit sets; -1 for any other value.
constexpr int trimFlagsFor(std::int32_t optTrim) {
    constexpr int flags[] = {
        0,
        trimSqueeze,
        trimStart,
        trimEnd,
        trimStart | trimEnd,
        trimSqueeze | trimDoubleOnly,
        trimStart | trimDoubleOnly,
        trimEnd | trimDoubleOnly,
        trimStart | trimEnd | trimDoubleOnly,
    };
    if (optTrim < 0 || optTrim > 8) return -1;
    return flags[optTrim];
}
static_assert(trimFlagsFor(4) == 6 && trimFlagsFor(5) == 9 && trimFlagsFor(8) == 14);

// Rewrites the record in place and returns its new length. Fields are split
// at commas (empty ones dropped) and joined again with single commas; a
// field's pad is the blank, or the full-width blank when its content starts
// with a Shift-JIS lead byte. A record with no field is left unchanged.
// `level` picks the fast path; the portable level keeps to the byte walk.
std::size_t trimFields(int trimFlags, std::uint8_t* record, std::size_t length,
                       simd::Level level = simd::processLevel());

}  // namespace velk::j2s
