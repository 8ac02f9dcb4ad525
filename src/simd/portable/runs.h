// Runs of plain bytes and of kanji eight input bytes at a time: the look-ups
// of a word do not wait on each other, and one test of the packed result
// finds the first byte that needs a decision. Inline: runs between shift
// codes are short, and a call per run would cost more than it saves.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velk::simd::portable {

namespace words {

// Words are taken in memory order, which these loops read as little-endian.
inline constexpr bool kLittleEndian = std::endian::native == std::endian::little;

inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}
inline void store64(std::uint8_t* p, std::uint64_t w) { std::memcpy(p, &w, sizeof w); }
inline std::uint16_t load16(const std::uint8_t* p) {
    std::uint16_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The top bit of every zero lane (8 or 16 bits wide) of w, and only those.
inline constexpr std::uint64_t kLow7Bytes = 0x7F7F7F7F7F7F7F7FULL;
inline constexpr std::uint64_t kLow15Pairs = 0x7FFF7FFF7FFF7FFFULL;
inline std::uint64_t zeroLanes(std::uint64_t w, std::uint64_t low) { return ~(((w & low) + low) | w | low); }

// The top bits of the 8 bytes of `tops` (nothing else set) as the low bits
// of the result.
inline std::uint64_t byteTopBits(std::uint64_t tops) { return ((tops >> 7) * 0x0102040810204080ULL) >> 56; }

// One word of plain bytes: the output word; `stops` the zero lanes.
inline std::uint64_t plainWord(const std::uint8_t* src, const std::uint8_t* plain) {
    const std::uint64_t w = load64(src);
    std::uint64_t packed = 0;
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) packed |= std::uint64_t{plain[(w >> (8 * k)) & 0xFF]} << (8 * k);
    return packed;
}

}  // namespace words

// Plain single bytes while they map; see simd::plainRun.
inline std::size_t plainRun(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                     const std::uint8_t* plain, bool& stopped) {
    using namespace words;
    stopped = false;
    std::size_t i = 0;
    for (; kLittleEndian && i + 8 <= n; i += 8) {
        const std::uint64_t packed = plainWord(src + i, plain);
        store64(dst + i, packed);
        if (const std::uint64_t stops = zeroLanes(packed, kLow7Bytes)) {
            stopped = true;
            return i + static_cast<std::size_t>(std::countr_zero(stops) / 8);
        }
    }
    return i;
}

// Kanji pairs while they map; see simd::kanjiRun.
inline std::size_t kanjiRun(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                     const std::uint8_t* kanji) {
    using namespace words;
    std::size_t i = 0;
    for (; kLittleEndian && i + 8 <= n; i += 8) {
        // Byte-swapped, each 16-bit lane is a code, the last pair lowest.
        const std::uint64_t codes = __builtin_bswap64(load64(src + i));
        std::uint64_t packed = 0;
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            const auto code = static_cast<std::uint16_t>(codes >> (16 * (3 - k)));
            packed |= std::uint64_t{load16(kanji + 2 * std::size_t{code})} << (16 * k);
        }
        store64(dst + i, packed);
        if (const std::uint64_t stops = zeroLanes(packed, kLow15Pairs))
            return i + 2 * static_cast<std::size_t>(std::countr_zero(stops) / 16);
    }
    return i;
}

// Commas of src[0, n), n <= 64; see simd::commaBits. Byte by byte: the
// trim walk searches by words at this level and only the tests call this.
inline std::uint64_t commaBits(const std::uint8_t* src, std::size_t n) {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < n; ++i) bits |= std::uint64_t{src[i] == ','} << i;
    return bits;
}

}  // namespace velk::simd::portable
