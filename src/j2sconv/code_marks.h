// Marker bits of the j2s single-byte lookup tables (stream and records):
// an entry is the output byte, or has one of these bits set above it.
#pragma once

#include <cstdint>

namespace velk::j2s {

inline constexpr std::uint16_t kMarkKanjiIn = 0x100;   // shift code into kanji
inline constexpr std::uint16_t kMarkKanjiOut = 0x200;  // shift code back to single bytes
inline constexpr std::uint16_t kMarkShift = kMarkKanjiIn | kMarkKanjiOut;  // either, skipped
inline constexpr std::uint16_t kMarkUnmapped = 0x400;  // no mapping; the low byte is the substitute

}  // namespace velk::j2s
