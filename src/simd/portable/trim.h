// Trimming of one field's content in place, eight bytes a step: the vector
// kernels' masks (a bit a byte or a unit) built from words, then the same
// choice of what stays. Only where the buffer has simd::kTrimWindow bytes
// of room from the content's start, so whole words are read past its end.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "simd/bits.h"
#include "simd/portable/runs.h"

namespace velk::simd::portable {

namespace trim_words {

using namespace words;

inline constexpr std::uint64_t kByteTops = 0x8080808080808080ULL;
inline constexpr std::uint64_t kLaneTops = 0x8000800080008000ULL;

// The top bits of the 4 16-bit lanes as the low bits of the result.
inline std::uint64_t laneTopBits(std::uint64_t tops) { return ((tops >> 15) * 0x1000200040008000ULL) >> 60; }

// The top bit of each Shift JIS lead byte (0x80-0x9F, 0xE0-0xFC): its low
// seven bits below 0x20, or from 0x60 to 0x7C. Seven-bit sums carry into no
// other byte.
inline std::uint64_t leadByteTops(std::uint64_t w) {
    const std::uint64_t low = w & kLow7Bytes;
    const std::uint64_t from20 = low + 0x6060606060606060ULL;
    const std::uint64_t from60 = low + 0x2020202020202020ULL;
    const std::uint64_t from7D = low + 0x0303030303030303ULL;
    return w & kByteTops & (~from20 | (from60 & ~from7D));
}

}  // namespace trim_words

// See simd::trimSingleInPlace.
inline std::size_t trimSingleInPlace(const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    using namespace trim_words;
    if (!kLittleEndian || n > 64) return ~std::size_t{0};
    std::uint64_t blanks = 0;
    for (std::size_t i = 0; i < n; i += 8)
        blanks |= byteTopBits(zeroLanes(load64(p + i) ^ 0x2020202020202020ULL, kLow7Bytes)) << i;
    const std::uint64_t bytes = lowBits(static_cast<unsigned>(n));
    std::uint64_t keep = keptUnits(rule, bytes, blanks & bytes);
    if ((keep & (keep + 1)) == 0) return std::bit_width(keep);  // the start stays where it is
    const auto count = static_cast<std::size_t>(std::popcount(keep));
    const int from = std::countr_zero(keep);
    if (((keep >> from) & ((keep >> from) + 1)) == 0) {
        std::memmove(p, p + from, count);
        return count;
    }
    for (std::size_t o = 0; keep != 0; keep &= keep - 1) p[o++] = p[std::countr_zero(keep)];
    return count;
}

// See simd::trimDoubleInPlace.
inline std::size_t trimDoubleInPlace(const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    using namespace trim_words;
    if (!kLittleEndian || n > 64 || n % 2 != 0 || n == 0) return ~std::size_t{0};
    std::uint64_t leads = 0, pads = 0;  // a bit a unit of two bytes
    for (std::size_t i = 0; i < n; i += 8) {
        const std::uint64_t w = load64(p + i);
        leads |= laneTopBits((leadByteTops(w) << 8) & kLaneTops) << (i / 2);
        // The full-width blank 0x81 0x40 as a little-endian lane.
        pads |= laneTopBits(zeroLanes(w ^ 0x4081408140814081ULL, kLow15Pairs)) << (i / 2);
    }
    const std::uint64_t units = lowBits(static_cast<unsigned>(n / 2));
    if ((units & ~leads) != 0) return ~std::size_t{0};
    std::uint64_t keep = keptUnits(rule, units, pads & units);
    if ((keep & (keep + 1)) == 0) return 2 * std::bit_width(keep);
    const auto count = static_cast<std::size_t>(std::popcount(keep));
    const int from = std::countr_zero(keep);
    if (((keep >> from) & ((keep >> from) + 1)) == 0) {
        std::memmove(p, p + 2 * from, 2 * count);
        return 2 * count;
    }
    for (std::size_t o = 0; keep != 0; keep &= keep - 1, o += 2)
        std::memcpy(p + o, p + 2 * std::countr_zero(keep), 2);
    return 2 * count;
}

}  // namespace velk::simd::portable
