// Bit-mask steps that every vector level shares: a window of 64 bytes is
// seen as 64-bit masks, one bit a byte, whatever produced them.
#pragma once

#include <cstdint>

#include "simd/simd.h"

namespace velk::simd {

inline constexpr std::uint64_t kEvenBits = 0x5555555555555555ULL;
inline constexpr std::uint64_t kOddBits = ~kEvenBits;

// Bit j is set when an odd number of bits at or below j are.
inline std::uint64_t prefixXor(std::uint64_t x) {
#pragma GCC unroll 6
    for (int shift = 1; shift < 64; shift *= 2) x ^= x << shift;
    return x;
}

// Lead bytes of the kanji in runs of kanji bytes: a byte that is not a
// kanji byte always ends a character, so each run pairs up from its start.
inline std::uint64_t leadBytes(std::uint64_t kanjiBytes) {
    const std::uint64_t runStarts = kanjiBytes & ~(kanjiBytes << 1);
    // Adding the start bit of each run that starts at an even position
    // clears that run: the cleared bits are those runs.
    const std::uint64_t evenRuns = kanjiBytes & ~(kanjiBytes + (runStarts & kEvenBits));
    const std::uint64_t oddRuns = kanjiBytes & ~evenRuns;
    return (evenRuns & kEvenBits) | (oddRuns & kOddBits);
}

// The bits below `count` (0-64).
inline std::uint64_t lowBits(unsigned count) {
    return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// Which of `units` (bit i: unit i of a field's content) stay, given which
// are pads.
inline std::uint64_t keptUnits(const TrimRule& rule, std::uint64_t units, std::uint64_t pads) {
    const std::uint64_t solid = units & ~pads;
    if (solid == 0) return rule.empty ? 0 : units;
    std::uint64_t keep = units;
    if (rule.start) keep &= ~std::uint64_t{0} << __builtin_ctzll(solid);
    if (rule.end) keep &= lowBits(64u - static_cast<unsigned>(__builtin_clzll(solid)));
    if (rule.squeeze) keep &= solid | (pads & (solid << 1));
    return keep;
}

}  // namespace velk::simd
