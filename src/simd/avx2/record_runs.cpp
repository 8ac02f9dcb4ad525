// The record walk's character and kanji runs, 32 bytes at a time; the end
// of a run goes through a small buffer, AVX2 having no masked loads of bytes.
#include <cstring>

#include "simd/avx2/common.h"
#include "simd/avx2/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx2 {

namespace {

// Up to 32 bytes of src, zeros after.
VELK_AVX2 __m256i loadPart(const std::uint8_t* src, std::uint32_t count) {
    if (count >= 32) return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
    alignas(32) std::uint8_t part[32] = {};
    std::memcpy(part, src, count);
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(part));
}

VELK_AVX2 void storePart(std::uint8_t* dst, __m256i v, std::uint32_t count) {
    if (count >= 32) return store(dst, v);
    alignas(32) std::uint8_t part[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(part), v);
    std::memcpy(dst, part, count);
}

}  // namespace

// Runs of 16 bytes or more only: the last 32 (or, under 32, the first and
// the last 16) overlap bytes already converted, which get the same values
// again. Bytes written past the first that stops are the walk's to
// overwrite.
VELK_AVX2 std::uint32_t plainChars(const std::uint8_t* src, std::uint32_t length,
                                   std::uint8_t* out, const std::uint8_t* table) {
    if (length < 16) return 0;
    Lookup plain;
    loadLookup(plain, table);
    const __m256i zero = _mm256_setzero_si256();
    if (length < 32) {
        const std::uint32_t last = length - 16;
        const __m256i v = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + last)), 1);
        const __m256i mapped = lookup(plain, v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(mapped));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + last), _mm256_extracti128_si256(mapped, 1));
        const auto stops = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(mapped, zero)));
        if (stops & 0xFFFF) return static_cast<std::uint32_t>(__builtin_ctz(stops));
        if (stops) return last + static_cast<std::uint32_t>(__builtin_ctz(stops >> 16));
        return length;
    }
    for (std::uint32_t k = 0;; k += 32) {
        if (k + 32 > length) k = length - 32;
        const __m256i mapped = lookup(plain, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + k)));
        store(out + k, mapped);
        if (const auto stops = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(mapped, zero))))
            return k + static_cast<std::uint32_t>(__builtin_ctz(stops));
        if (k + 32 == length) return length;
    }
}

VELK_AVX2 std::uint32_t shortcutKanji(const std::uint8_t* src, std::uint32_t pairs,
                                      std::uint8_t* out, const JisShortcut& jis) {
    for (std::uint32_t k = 0; k < pairs; k += 16) {
        const std::uint32_t count = pairs - k < 16 ? pairs - k : 16;
        const __m256i v = loadPart(src + 2 * k, 2 * count);
        const __m256i both = _mm256_cmpeq_epi16(jisBytesOf(v), _mm256_set1_epi16(-1));
        const __m256i off = _mm256_or_si256(_mm256_andnot_si256(both, _mm256_set1_epi16(-1)),
                                            irregularPairs(v, jis));
        // A bit per pair, at its lead byte.
        const std::uint32_t offPairs = static_cast<std::uint32_t>(_mm256_movemask_epi8(off)) &
                                       static_cast<std::uint32_t>(kEvenBits & lowBits(2 * count));
        const __m256i codes = jisArithmetic(v);
        if (offPairs != 0) {
            const auto done = static_cast<std::uint32_t>(__builtin_ctz(offPairs)) / 2;
            storePart(out + 2 * k, codes, 2 * done);
            return k + done;
        }
        storePart(out + 2 * k, codes, 2 * count);
    }
    return pairs;
}

}  // namespace velk::simd::avx2

#endif
