// The record walk's character and kanji runs, up to 64 bytes at a time.
#include "simd/avx512/common.h"
#include "simd/avx512/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx512 {

VELK_AVX512 std::uint32_t plainChars(const std::uint8_t* src, std::uint32_t length,
                                     std::uint8_t* out, const std::uint8_t* table) {
    const Lookup plain = loadLookup(table);
    for (std::uint32_t k = 0; k < length; k += 64) {
        const std::uint64_t bytes = lowBits(length - k);
        const __m512i v = _mm512_maskz_loadu_epi8(bytes, src + k);
        const __m512i mapped = lookup(plain, v);
        const std::uint64_t stops = _mm512_mask_testn_epi8_mask(bytes, mapped, mapped);
        if (stops != 0) {
            const auto done = static_cast<std::uint32_t>(__builtin_ctzll(stops));
            _mm512_mask_storeu_epi8(out + k, lowBits(done), mapped);
            return k + done;
        }
        _mm512_mask_storeu_epi8(out + k, bytes, mapped);
    }
    return length;
}

VELK_AVX512 std::uint32_t shortcutKanji(const std::uint8_t* src, std::uint32_t pairs,
                                        std::uint8_t* out, const JisShortcut& jis) {
    for (std::uint32_t k = 0; k < pairs; k += 32) {
        const std::uint32_t count = pairs - k < 32 ? pairs - k : 32;
        const std::uint64_t bytes = lowBits(2 * count);
        const __m512i v = _mm512_maskz_loadu_epi8(bytes, src + 2 * k);
        const __m512i codes = jisArithmetic(v);
        if (const __mmask32 off = pairsOffShortcut(v, count, jis)) {
            const auto done = static_cast<std::uint32_t>(__builtin_ctz(off));
            _mm512_mask_storeu_epi8(out + 2 * k, lowBits(2 * done), codes);
            return k + done;
        }
        _mm512_mask_storeu_epi8(out + 2 * k, bytes, codes);
    }
    return pairs;
}

}  // namespace velk::simd::avx512

#endif
