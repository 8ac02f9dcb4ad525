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

// Rewrites the record in place and returns its new length. Fields are split
// at commas (empty ones dropped) and joined again with single commas; a
// field's pad is the blank, or the full-width blank when its content starts
// with a Shift-JIS lead byte. A record with no field is left unchanged.
// `level` picks the fast path; the portable level keeps to the byte walk.
std::size_t trimFields(int trimFlags, std::uint8_t* record, std::size_t length,
                       simd::Level level = simd::processLevel());

}  // namespace velk::j2s
