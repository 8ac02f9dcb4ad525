// JEF kanji of JIS X 0208 (both bytes 0xA1-0xFE) convert to Shift JIS by
// the JIS arithmetic, for all but a few pairs: a vector path computes them
// instead of looking each one up. The pairs where the table says otherwise
// are found once per run, so the table stays the one authority.
#pragma once

#include <array>
#include <cstdint>

#include "tblknj/kanji_tables.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VELK_JIS_SHORTCUT 1
#endif

namespace velk::j2s {

struct JisShortcut {
    // Pairs (lead byte, then second byte, as a little-endian word) whose
    // entry is not the arithmetic's.
    std::array<std::uint16_t, 8> irregular{};
    int count = -1;  // -1: more than fit, and the shortcut is not used
};

JisShortcut findJisShortcut(const KanjiEntry* table);

#ifdef VELK_JIS_SHORTCUT

#define VELK_JIS_TARGET __attribute__((target("avx512f,avx512bw,bmi,bmi2,popcnt")))

// Which of the `count` packed pairs (16-bit lanes, lead byte first in
// memory) the arithmetic cannot take: a bit per pair.
VELK_JIS_TARGET inline __mmask32 pairsOffShortcut(__m512i packed, unsigned count,
                                                  const JisShortcut& shortcut) {
    const std::uint64_t outside = _mm512_cmpge_epu8_mask(
        _mm512_sub_epi8(packed, _mm512_set1_epi8(static_cast<char>(0xA1))), _mm512_set1_epi8(94));
    auto off = static_cast<__mmask32>(_pext_u64(outside | (outside >> 1), 0x5555555555555555ULL));
    for (int k = 0; k < shortcut.count; ++k)
        off |= _mm512_cmpeq_epi16_mask(packed,
                                       _mm512_set1_epi16(static_cast<short>(shortcut.irregular[k])));
    return static_cast<__mmask32>(_bzhi_u32(off, count));
}

// Shift JIS codes of packed JIS X 0208 pairs: row r and cell c (1-94) give
// the lead byte (r + 1) / 2 + 0x80 (0xC0 from row 63 on), and the second
// byte c + 0x3F (one more from cell 64 on) in odd rows, c + 0x9E in even.
VELK_JIS_TARGET inline __m512i jisArithmetic(__m512i pairs) {
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

#endif

}  // namespace velk::j2s
