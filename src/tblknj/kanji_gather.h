// Looking up up to 32 kanji at once in a 65,536-entry table with AVX-512:
// the pairs, packed to the front of a vector, become 32-bit table indexes,
// two gathers fetch the entries and one permute keeps their first words.
// Shared by the wide paths of both converters; only compiled in where the
// including file enables the matching target.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <cstdint>

namespace velk {

// Each packed pair's code as a 32-bit index (lead * 256 + second), pairs
// 0-15 and 16-31; then the first word of each 32-bit result.
struct KanjiGatherIndexes {
    alignas(64) std::uint8_t codesLow[64];
    alignas(64) std::uint8_t codesHigh[64];
    alignas(64) std::uint16_t results[32];
};

inline constexpr KanjiGatherIndexes kKanjiGather = [] {
    KanjiGatherIndexes x{};
    for (int k = 0; k < 16; ++k) {
        x.codesLow[4 * k] = static_cast<std::uint8_t>(2 * k + 1);
        x.codesLow[4 * k + 1] = static_cast<std::uint8_t>(2 * k);
        x.codesHigh[4 * k] = static_cast<std::uint8_t>(32 + 2 * k + 1);
        x.codesHigh[4 * k + 1] = static_cast<std::uint8_t>(32 + 2 * k);
    }
    for (int k = 0; k < 32; ++k) x.results[k] = static_cast<std::uint16_t>(2 * k);
    return x;
}();

// The table entries of the first `count` pairs in `packed`, two bytes each
// from the front. Each gather reads four bytes from an entry: the table must
// hold one readable entry after any index used.
__attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2"))) inline __m512i gatherKanji(
    __m512i packed, unsigned count, const void* table) {
    constexpr __mmask64 lowWords = 0x3333333333333333ULL;
    const __m512i first = _mm512_mask_i32gather_epi32(
        _mm512_setzero_si512(), static_cast<__mmask16>(_bzhi_u32(0xFFFF, count)),
        _mm512_maskz_permutexvar_epi8(lowWords, _mm512_load_si512(kKanjiGather.codesLow), packed),
        table, 2);
    __m512i second = _mm512_setzero_si512();
    if (count > 16) {
        second = _mm512_mask_i32gather_epi32(
            _mm512_setzero_si512(), static_cast<__mmask16>(_bzhi_u32(0xFFFF, count - 16)),
            _mm512_maskz_permutexvar_epi8(lowWords, _mm512_load_si512(kKanjiGather.codesHigh),
                                          packed),
            table, 2);
    }
    return _mm512_permutex2var_epi16(first, _mm512_load_si512(kKanjiGather.results), second);
}

}  // namespace velk

#endif
