#include "j2sconv/record_wide.h"

#include <algorithm>

namespace velk::j2s {

#ifdef VELK_JIS_SHORTCUT

namespace {

#define VELK_RECORD_TARGET \
    __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi,bmi2,popcnt")))

bool available() {
    static const bool yes = __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi") &&
                            __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return yes;
}

VELK_RECORD_TARGET std::uint32_t charsWide(const std::uint8_t* src, std::uint32_t length,
                                           std::uint8_t* out, const std::uint8_t* plain) {
    const __m512i t0 = _mm512_loadu_si512(plain);
    const __m512i t1 = _mm512_loadu_si512(plain + 64);
    const __m512i t2 = _mm512_loadu_si512(plain + 128);
    const __m512i t3 = _mm512_loadu_si512(plain + 192);
    for (std::uint32_t k = 0; k < length; k += 64) {
        const std::uint64_t bytes = _bzhi_u64(~std::uint64_t{0}, std::min(64u, length - k));
        const __m512i v = _mm512_maskz_loadu_epi8(bytes, src + k);
        const __m512i mapped =
            _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), _mm512_permutex2var_epi8(t0, v, t1),
                                   _mm512_permutex2var_epi8(t2, v, t3));
        const std::uint64_t stops = _mm512_mask_testn_epi8_mask(bytes, mapped, mapped);
        if (stops != 0) {
            const auto done = static_cast<std::uint32_t>(__builtin_ctzll(stops));
            _mm512_mask_storeu_epi8(out + k, _bzhi_u64(~std::uint64_t{0}, done), mapped);
            return k + done;
        }
        _mm512_mask_storeu_epi8(out + k, bytes, mapped);
    }
    return length;
}

VELK_RECORD_TARGET std::uint32_t kanjiWide(const std::uint8_t* src, std::uint32_t pairs,
                                           std::uint8_t* out, const JisShortcut& jis) {
    for (std::uint32_t k = 0; k < pairs; k += 32) {
        const std::uint32_t count = std::min(32u, pairs - k);
        const std::uint64_t bytes = _bzhi_u64(~std::uint64_t{0}, 2 * count);
        const __m512i v = _mm512_maskz_loadu_epi8(bytes, src + 2 * k);
        const __m512i codes = jisArithmetic(v);
        if (const __mmask32 off = pairsOffShortcut(v, count, jis)) {
            const auto done = static_cast<std::uint32_t>(__builtin_ctz(off));
            _mm512_mask_storeu_epi8(out + 2 * k, _bzhi_u64(~std::uint64_t{0}, 2 * done), codes);
            return k + done;
        }
        _mm512_mask_storeu_epi8(out + 2 * k, bytes, codes);
    }
    return pairs;
}

}  // namespace

std::uint32_t plainChars(const std::uint8_t* src, std::uint32_t length, std::uint8_t* out,
                         const std::uint8_t* plain) {
    return available() ? charsWide(src, length, out, plain) : 0;
}

std::uint32_t shortcutKanji(const std::uint8_t* src, std::uint32_t pairs, std::uint8_t* out,
                            const JisShortcut& jis) {
    return available() && jis.count >= 0 ? kanjiWide(src, pairs, out, jis) : 0;
}

#else

std::uint32_t plainChars(const std::uint8_t*, std::uint32_t, std::uint8_t*, const std::uint8_t*) {
    return 0;
}

std::uint32_t shortcutKanji(const std::uint8_t*, std::uint32_t, std::uint8_t*, const JisShortcut&) {
    return 0;
}

#endif

}  // namespace velk::j2s
