// s2j 64 input bytes at a time with AVX-512 byte permutes and compresses.
// Text that mixes kanji and ASCII changes class every few bytes, and a byte
// loop pays a mispredicted branch at each change; here every window of 64
// bytes costs the same.
#include "simd/avx512/common.h"
#include "simd/avx512/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx512 {

namespace {

// Indexes for the permutes: two vectors interleaved byte by byte (their
// first halves, their second halves).
struct PermuteIndexes {
    alignas(64) std::uint8_t firstHalves[64];
    alignas(64) std::uint8_t secondHalves[64];
};

constexpr PermuteIndexes kIndexes = [] {
    PermuteIndexes x{};
    for (int j = 0; j < 32; ++j) {
        x.firstHalves[2 * j] = static_cast<std::uint8_t>(j);
        x.firstHalves[2 * j + 1] = static_cast<std::uint8_t>(64 + j);
        x.secondHalves[2 * j] = static_cast<std::uint8_t>(32 + j);
        x.secondHalves[2 * j + 1] = static_cast<std::uint8_t>(96 + j);
    }
    return x;
}();

// The kanji of a window, lead bytes at `leads` and second bytes one
// position on, each pair replaced by its JEF code in `bytes`. Sets
// `unmapped` when a code has no mapping. The pairs are packed together so
// that each table look-up serves a kanji, not a byte position.
VELK_AVX512 __m512i kanjiCodes(__m512i v, std::uint64_t leads, const std::uint8_t* table,
                               __m512i bytes, std::uint64_t& unmapped) {
    const std::uint64_t pairs = leads | (leads << 1);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(leads));
    const __m512i packed = _mm512_maskz_compress_epi8(pairs, v);
    // Lead bytes stop at 0xFC, so the entry after any index is inside the table.
    const __m512i found = gatherKanji(packed, count, table);
    if (_bzhi_u32(_mm512_testn_epi16_mask(found, found), count) != 0) unmapped |= leads;
    return _mm512_mask_expand_epi8(bytes, pairs, found);
}

}  // namespace

VELK_AVX512 void s2jWindows(const S2jTables& tables, const std::uint8_t* in, std::size_t n,
                            std::int64_t base, S2jCursor& cursor) {
    const Lookup single = loadLookup(tables.single);
    const __m512i shiftCodes = _mm512_set1_epi8(0x29);
    const __m512i kanjiIn = _mm512_set1_epi8(0x28);
    const __m512i firstHalves = _mm512_load_si512(kIndexes.firstHalves);
    const __m512i secondHalves = _mm512_load_si512(kIndexes.secondHalves);

    // A copy: stores through o could alias the cursor itself.
    auto [i, o, open, lineFeeds, lineStart] = cursor;

    while (i + 64 <= n) {
        const __m512i v = _mm512_loadu_si512(in + i);
        const __m512i singleBytes = lookup(single, v);
        const std::uint64_t firstBytes = leadByteMask(v);
        const std::uint64_t lineFeedBytes = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x0A));
        const std::uint64_t lineEndBytes =
            lineFeedBytes | _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x0D));

        const SjisWindow w = sjisWindowOf(firstBytes, lineEndBytes);

        __m512i bytes = singleBytes;
        std::uint64_t unmapped = w.singles & _mm512_testn_epi8_mask(singleBytes, singleBytes);
        if (w.leads != 0) bytes = kanjiCodes(v, w.leads, tables.kanji, bytes, unmapped);
        if (unmapped != 0) break;  // the byte loop reports it

        // CR and LF are dropped; every other byte of the window gives one.
        const std::uint64_t kept = w.window & ~w.lineEnds;
        if (!tables.shiftCodes) {
            _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(kept, bytes));
            o += _mm_popcnt_u64(kept);
        } else {
            const std::uint64_t shifts = shiftsBefore(w.leads, w.singles, open);
            const __m512i codes = _mm512_mask_blend_epi8(w.leads, shiftCodes, kanjiIn);
            const __m512i firstSlots = _mm512_permutex2var_epi8(codes, firstHalves, bytes);
            const __m512i secondSlots = _mm512_permutex2var_epi8(codes, secondHalves, bytes);
            std::uint64_t firstKept, secondKept;
            slotMasks(shifts, kept, firstKept, secondKept);
            _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(firstKept, firstSlots));
            o += _mm_popcnt_u64(firstKept);
            _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(secondKept, secondSlots));
            o += _mm_popcnt_u64(secondKept);
        }
        countLineFeeds(w.lineEnds & lineFeedBytes, base + static_cast<std::int64_t>(i), lineFeeds,
                       lineStart);
        i += w.step;
    }

    cursor = {i, o, open, lineFeeds, lineStart};
}

}  // namespace velk::simd::avx512

#endif
