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

VELK_AVX2 std::uint32_t plainChars(const std::uint8_t* src, std::uint32_t length,
                                   std::uint8_t* out, const std::uint8_t* table) {
    Lookup plain;
    loadLookup(plain, table);
    for (std::uint32_t k = 0; k < length; k += 32) {
        const std::uint32_t count = length - k < 32 ? length - k : 32;
        const __m256i mapped = lookup(plain, loadPart(src + k, count));
        const auto stops = static_cast<std::uint32_t>(_mm256_movemask_epi8(
                               _mm256_cmpeq_epi8(mapped, _mm256_setzero_si256()))) &
                           static_cast<std::uint32_t>(lowBits(count));
        if (stops != 0) {
            const auto done = static_cast<std::uint32_t>(__builtin_ctz(stops));
            storePart(out + k, mapped, done);
            return k + done;
        }
        storePart(out + k, mapped, count);
    }
    return length;
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
