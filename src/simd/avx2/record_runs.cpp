// The record walk's character and kanji runs, 32 bytes at a time. AVX2 has
// no masked loads of bytes: the last vector of a run ends at its end and
// overlaps the one before.
#include "simd/avx2/common.h"
#include "simd/avx2/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx2 {

namespace {

// 0xFF where a byte, read as a lead byte of JIS X 0208, is in a row the
// shortcut leaves to the table: its low nibble picks the bits of the high
// nibbles taken (8-F), its high nibble the bit.
VELK_AVX2 __m256i rowsLeft(__m256i v, const JisShortcut& jis) {
    const __m256i rows = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(jis.rowBits.data())));
    const __m256i highBit = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32, 64, -128,
                                             0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 4, 8, 16, 32, 64, -128);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i taken = _mm256_and_si256(
        _mm256_shuffle_epi8(rows, _mm256_and_si256(v, nibble)),
        _mm256_shuffle_epi8(highBit, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
    return _mm256_cmpeq_epi8(taken, _mm256_setzero_si256());
}

// A bit per pair (at its lead byte) for the pairs the arithmetic cannot take.
VELK_AVX2 std::uint32_t offPairs(__m256i v, const JisShortcut& jis) {
    const __m256i both = _mm256_cmpeq_epi16(jisBytesOf(v), _mm256_set1_epi16(-1));
    __m256i off = _mm256_or_si256(_mm256_andnot_si256(both, _mm256_set1_epi16(-1)), irregularPairs(v, jis));
    if (!jis.allRows) off = _mm256_or_si256(off, rowsLeft(v, jis));
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(off)) & 0x55555555u;
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

// Runs of 8 pairs or more, overlapping as plainChars does.
VELK_AVX2 std::uint32_t shortcutKanji(const std::uint8_t* src, std::uint32_t pairs,
                                      std::uint8_t* out, const JisShortcut& jis) {
    if (pairs < 8) return 0;
    if (pairs < 16) {
        const std::uint32_t last = 2 * pairs - 16;
        const __m256i v = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + last)), 1);
        const __m256i codes = jisArithmetic(v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(codes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + last), _mm256_extracti128_si256(codes, 1));
        const std::uint32_t off = offPairs(v, jis);
        if (off & 0xFFFF) return static_cast<std::uint32_t>(__builtin_ctz(off)) / 2;
        if (off) return pairs - 8 + static_cast<std::uint32_t>(__builtin_ctz(off >> 16)) / 2;
        return pairs;
    }
    for (std::uint32_t k = 0;; k += 16) {
        if (k + 16 > pairs) k = pairs - 16;
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * k));
        store(out + 2 * k, jisArithmetic(v));
        if (const std::uint32_t off = offPairs(v, jis)) return k + static_cast<std::uint32_t>(__builtin_ctz(off)) / 2;
        if (k + 16 == pairs) return pairs;
    }
}

}  // namespace velk::simd::avx2

#endif
