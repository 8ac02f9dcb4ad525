// The 16-byte vectors that every processor of a 64-bit architecture has
// (SSE2 on x86-64, Advanced SIMD on ARM64), written as GCC's generic vectors
// so that one source serves both, and words anywhere else. The portable
// windows test bytes with them; look-ups stay one byte at a time.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "simd/portable/runs.h"

namespace velk::simd::portable {

using Bytes16 = std::uint8_t __attribute__((vector_size(16)));

inline Bytes16 load16Bytes(const std::uint8_t* p) {
    Bytes16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline Bytes16 splat(std::uint8_t b) { return Bytes16{} + b; }

// Comparisons give lanes of all ones or zeros, as signed bytes.
template <class Lanes>
inline Bytes16 asBytes(Lanes lanes) {
    return reinterpret_cast<Bytes16>(lanes);
}

namespace words {

// The set bits of x. Baseline x86-64 has no instruction for it, where the
// library's count is a call.
inline unsigned bitCount(std::uint64_t x) {
#if defined(__POPCNT__) || defined(__aarch64__)
    return static_cast<unsigned>(__builtin_popcountll(x));
#else
    x -= (x >> 1) & 0x5555555555555555ULL;
    x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<unsigned>((x * 0x0101010101010101ULL) >> 56);
#endif
}

}  // namespace words

// The top bit of each byte of v, byte k to bit k, from two words: what
// topBits does where the processor has no instruction for it.
inline std::uint32_t topBitsByWords(Bytes16 v) {
    if constexpr (!words::kLittleEndian) return 0;  // the windows do not run there
    std::uint64_t halves[2];
    std::memcpy(halves, &v, sizeof halves);
    constexpr std::uint64_t kTops = 0x8080808080808080ULL;
    return static_cast<std::uint32_t>(words::byteTopBits(halves[0] & kTops) |
                                      words::byteTopBits(halves[1] & kTops) << 8);
}

inline std::uint32_t topBits(Bytes16 v) {
#if defined(__SSE2__)
    return static_cast<std::uint32_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(v)));
#else
    return topBitsByWords(v);
#endif
}

// A window of 64 bytes as four vectors.
struct Window64 {
    Bytes16 q[4];
};

inline Window64 loadWindow64(const std::uint8_t* p) {
    return {load16Bytes(p), load16Bytes(p + 16), load16Bytes(p + 32), load16Bytes(p + 48)};
}

// Bit k set where test gives all ones for byte k of the window.
template <class Test>
inline std::uint64_t windowBits(const Window64& w, Test test) {
    std::uint64_t bits = 0;
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) bits |= std::uint64_t{topBits(asBytes(test(w.q[k])))} << (16 * k);
    return bits;
}

inline std::uint64_t equalBits(const Window64& w, std::uint8_t byte) {
    return windowBits(w, [byte](Bytes16 v) { return v == splat(byte); });
}

}  // namespace velk::simd::portable
