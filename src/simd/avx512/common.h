// Helpers of the AVX-512 kernels: the 256-entry byte look-up in four
// registers, the lead-byte range, the kanji gather and the JIS arithmetic.
#pragma once

#include "simd/x86_bits.h"

#if defined(__x86_64__) && defined(__GNUC__)

#include "simd/jis_shortcut.h"

namespace velk::simd::avx512 {

// A 256-byte table in four registers.
struct Lookup {
    __m512i t0, t1, t2, t3;
};

VELK_AVX512 inline Lookup loadLookup(const std::uint8_t* table) {
    return {_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64),
            _mm512_loadu_si512(table + 128), _mm512_loadu_si512(table + 192)};
}

VELK_AVX512 inline __m512i lookup(const Lookup& t, __m512i v) {
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(v), _mm512_permutex2var_epi8(t.t0, v, t.t1),
                                  _mm512_permutex2var_epi8(t.t2, v, t.t3));
}

// Shift JIS lead bytes are 0x80-0x9F and 0xE0-0xFC: one range once bit 5
// is flipped.
VELK_AVX512 inline std::uint64_t leadByteMask(__m512i v) {
    return _mm512_cmplt_epu8_mask(_mm512_sub_epi8(_mm512_xor_si512(v, _mm512_set1_epi8(0x20)),
                                                  _mm512_set1_epi8(static_cast<char>(0xA0))),
                                  _mm512_set1_epi8(0x3D));
}

// Looking up up to 32 kanji at once in a 65,536-entry table: the pairs,
// packed to the front of a vector, become 32-bit table indexes, two gathers
// fetch the entries and one permute keeps their first words.
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
VELK_AVX512 inline __m512i gatherKanji(__m512i packed, unsigned count, const void* table) {
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

// Which of the `count` packed pairs (16-bit lanes, lead byte first in
// memory) the arithmetic cannot take: a bit per pair.
VELK_AVX512 inline __mmask32 pairsOffShortcut(__m512i packed, unsigned count,
                                              const JisShortcut& shortcut) {
    const std::uint64_t outside = _mm512_cmpge_epu8_mask(
        _mm512_sub_epi8(packed, _mm512_set1_epi8(static_cast<char>(0xA1))), _mm512_set1_epi8(94));
    auto off = static_cast<__mmask32>(_pext_u64(outside | (outside >> 1), kEvenBits));
    for (int k = 0; k < shortcut.count; ++k)
        off |= _mm512_cmpeq_epi16_mask(packed,
                                       _mm512_set1_epi16(static_cast<short>(shortcut.irregular[k])));
    return static_cast<__mmask32>(_bzhi_u32(off, count));
}

// Shift JIS codes of packed JIS X 0208 pairs: row r and cell c (1-94) give
// the lead byte (r + 1) / 2 + 0x80 (0xC0 from row 63 on), and the second
// byte c + 0x3F (one more from cell 64 on) in odd rows, c + 0x9E in even.
VELK_AVX512 inline __m512i jisArithmetic(__m512i pairs) {
    // The zero-masked shifts: GCC 12 warns about the undefined vector that
    // the plain forms start from.
    constexpr __mmask32 all = ~__mmask32{0};
    const __m512i row = _mm512_sub_epi16(_mm512_and_si512(pairs, _mm512_set1_epi16(0xFF)),
                                         _mm512_set1_epi16(0xA0));
    const __m512i cell =
        _mm512_sub_epi16(_mm512_maskz_srli_epi16(all, pairs, 8), _mm512_set1_epi16(0xA0));
    const __m512i lead = _mm512_add_epi16(
        _mm512_maskz_srli_epi16(all, _mm512_add_epi16(row, _mm512_set1_epi16(1)), 1),
        _mm512_mask_blend_epi16(_mm512_cmpgt_epi16_mask(row, _mm512_set1_epi16(62)),
                                _mm512_set1_epi16(0x80), _mm512_set1_epi16(0xC0)));
    __m512i oddRow = _mm512_add_epi16(cell, _mm512_set1_epi16(0x3F));
    oddRow = _mm512_mask_add_epi16(oddRow, _mm512_cmpgt_epi16_mask(cell, _mm512_set1_epi16(63)),
                                   oddRow, _mm512_set1_epi16(1));
    const __m512i second = _mm512_mask_blend_epi16(
        _mm512_test_epi16_mask(row, _mm512_set1_epi16(1)),
        _mm512_add_epi16(cell, _mm512_set1_epi16(0x9E)), oddRow);
    return _mm512_or_si512(lead, _mm512_maskz_slli_epi16(all, second, 8));
}

}  // namespace velk::simd::avx512

#endif
