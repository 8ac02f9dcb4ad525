// j2s stream conversion 64 input bytes at a time with AVX-512 byte permutes
// and compresses. Text that mixes kanji and EBCDIC switches mode every few
// bytes, and a byte loop pays a mispredicted branch at each shift code;
// here every window of 64 bytes costs the same.
#include "simd/avx512/common.h"
#include "simd/avx512/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx512 {

namespace {

// The kanji of a window, lead bytes at `leads` and second bytes one
// position on, each pair replaced by its Shift JIS code in `bytes`. Sets
// `unmapped` when a code has no mapping. The pairs are packed together so
// that each table look-up serves a kanji, not a byte position.
VELK_AVX512 __m512i kanjiCodes(__m512i v, std::uint64_t leads, const J2sTables& tables,
                               __m512i bytes, std::uint64_t& unmapped) {
    const std::uint64_t pairs = leads | (leads << 1);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(leads));
    const __m512i packed = _mm512_maskz_compress_epi8(pairs, v);
    // Most kanji are JIS X 0208 pairs that the arithmetic converts: then
    // no table look-up at all.
    if (tables.jis->wholeTable() && pairsOffShortcut(packed, count, *tables.jis) == 0)
        return _mm512_mask_expand_epi8(bytes, pairs, jisArithmetic(packed));
    // The table has one spare entry, so every four-byte gather stays inside.
    const __m512i found = gatherKanji(packed, count, tables.kanji);
    if (_bzhi_u32(_mm512_testn_epi16_mask(found, found), count) != 0) unmapped |= leads;
    return _mm512_mask_expand_epi8(bytes, pairs, found);
}

}  // namespace

VELK_AVX512 void j2sWindows(const J2sTables& tables, const std::uint8_t* in, std::size_t n,
                            std::uint8_t* out, J2sCursor& cursor) {
    const Lookup plain = loadLookup(tables.plain);

    std::size_t i = cursor.in;
    std::size_t o = cursor.out;
    bool doubleByte = cursor.doubleByte;

    while (i + 64 <= n) {
        const __m512i v = _mm512_loadu_si512(in + i);
        const std::uint64_t shiftIn = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x28)) |
                                      _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x38));
        JefWindow w;
        if (!jefWindow(shiftIn, _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x29)), doubleByte, w))
            break;

        const __m512i singleBytes = lookup(plain, v);
        std::uint64_t unmapped = w.singles & _mm512_testn_epi8_mask(singleBytes, singleBytes);
        __m512i bytes = singleBytes;
        if (w.leads != 0) bytes = kanjiCodes(v, w.leads, tables, bytes, unmapped);
        if (unmapped != 0) break;  // the byte loop reports it

        // Shift codes are dropped; every other byte gives one.
        const std::uint64_t kept = w.window & ~w.shifts;
        _mm512_storeu_si512(out + o, _mm512_maskz_compress_epi8(kept, bytes));
        o += _mm_popcnt_u64(kept);
        doubleByte = (w.mode >> (w.step - 1)) & 1;
        i += w.step;
    }

    cursor.in = i;
    cursor.out = o;
    cursor.doubleByte = doubleByte;
}

// Plain single bytes, 64 at a time.
VELK_AVX512 std::size_t plainRun(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                                 const std::uint8_t* table, bool& stopped) {
    const Lookup plain = loadLookup(table);
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i v = lookup(plain, _mm512_loadu_si512(src + i));
        _mm512_storeu_si512(dst + i, v);
        if (const __mmask64 stops = _mm512_testn_epi8_mask(v, v)) {
            stopped = true;
            return i + static_cast<std::size_t>(__builtin_ctzll(stops));
        }
    }
    stopped = false;
    return i;
}

}  // namespace velk::simd::avx512

#endif
