#include "j2sconv/stream_wide.h"

#include "j2sconv/stream_convert.h"
#include "tblknj/kanji_gather.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VELK_J2S_WINDOWS 1
#endif

namespace velk::j2s {

#ifdef VELK_J2S_WINDOWS

namespace {

constexpr std::uint64_t kEvenBits = 0x5555555555555555ULL;
constexpr std::uint64_t kOddBits = ~kEvenBits;

#define VELK_WINDOW_TARGET \
    __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))

// Bit j is set when an odd number of bits at or below j are.
std::uint64_t prefixXor(std::uint64_t x) {
    for (int shift = 1; shift < 64; shift *= 2) x ^= x << shift;
    return x;
}

// Lead bytes of the kanji in the runs of kanji bytes: each run pairs up
// from its start.
std::uint64_t leadBytes(std::uint64_t kanjiBytes) {
    const std::uint64_t runStarts = kanjiBytes & ~(kanjiBytes << 1);
    // Adding the start bit of each run that starts at an even position
    // clears that run: the cleared bits are those runs.
    const std::uint64_t evenRuns = kanjiBytes & ~(kanjiBytes + (runStarts & kEvenBits));
    const std::uint64_t oddRuns = kanjiBytes & ~evenRuns;
    return (evenRuns & kEvenBits) | (oddRuns & kOddBits);
}

// The kanji of a window, lead bytes at `leads` and second bytes one
// position on, each pair replaced by its Shift JIS code in `bytes`. Sets
// `unmapped` when a code has no mapping. The pairs are packed together so
// that each table look-up serves a kanji, not a byte position.
VELK_WINDOW_TARGET __m512i kanjiCodes(__m512i v, std::uint64_t leads, const StreamTables& tables,
                                      __m512i bytes, std::uint64_t& unmapped) {
    const std::uint64_t pairs = leads | (leads << 1);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(leads));
    const __m512i packed = _mm512_maskz_compress_epi8(pairs, v);
    // Most kanji are JIS X 0208 pairs that the arithmetic converts: then
    // no table look-up at all.
    if (tables.jis.count >= 0 && pairsOffShortcut(packed, count, tables.jis) == 0)
        return _mm512_mask_expand_epi8(bytes, pairs, jisArithmetic(packed));
    // The table has one spare entry, so every four-byte gather stays inside.
    const __m512i found = gatherKanji(packed, count, tables.kanji.data());
    if (_bzhi_u32(_mm512_testn_epi16_mask(found, found), count) != 0) unmapped |= leads;
    return _mm512_mask_expand_epi8(bytes, pairs, found);
}

VELK_WINDOW_TARGET void convertAll(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                                   const StreamTables& tables, WindowCursor& cursor) {
    const std::uint8_t* plain = tables.plain.data();
    const __m512i table0 = _mm512_loadu_si512(plain);
    const __m512i table1 = _mm512_loadu_si512(plain + 64);
    const __m512i table2 = _mm512_loadu_si512(plain + 128);
    const __m512i table3 = _mm512_loadu_si512(plain + 192);

    std::size_t i = cursor.in;
    std::size_t o = cursor.out;
    bool doubleByte = cursor.doubleByte;

    while (i + 64 <= n) {
        const __m512i v = _mm512_loadu_si512(in + i);
        const std::uint64_t shiftOut = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x29));
        const std::uint64_t shiftIn = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x28)) |
                                      _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x38));
        const std::uint64_t shifts = shiftIn | shiftOut;

        // Taking every shift-code byte for a shift code: the mode after each
        // byte is the kind of the last one up to it, compared in turn.
        const std::uint64_t kinds = _pext_u64(shiftIn, shifts);
        const int count = static_cast<int>(_mm_popcnt_u64(shifts));
        const std::uint64_t changes =
            _bzhi_u64(kinds ^ ((kinds << 1) | std::uint64_t{doubleByte}), count);
        const std::uint64_t modeAfter =
            prefixXor(_pdep_u64(changes, shifts)) ^ (doubleByte ? ~std::uint64_t{0} : 0);
        const std::uint64_t kanjiBytes = modeAfter & ~shifts;

        std::uint64_t leads = leadBytes(kanjiBytes);
        std::uint64_t window = ~std::uint64_t{0};
        std::size_t step = 64;
        if (leads >> 63) {  // its second byte is in the next window: start there
            window >>= 1;
            step = 63;
            leads &= window;
        }
        const std::uint64_t seconds = leads << 1;
        // A kanji run of odd length ends in a lead byte whose second byte is
        // a shift-code byte: then that byte was no shift code after all.
        if (seconds & ~kanjiBytes) break;

        const __m512i singleBytes = _mm512_mask_blend_epi8(
            _mm512_movepi8_mask(v), _mm512_permutex2var_epi8(table0, v, table1),
            _mm512_permutex2var_epi8(table2, v, table3));
        const std::uint64_t singles = window & ~modeAfter & ~shifts;
        std::uint64_t unmapped = singles & _mm512_testn_epi8_mask(singleBytes, singleBytes);
        __m512i bytes = singleBytes;
        if (leads != 0) bytes = kanjiCodes(v, leads, tables, bytes, unmapped);
        if (unmapped != 0) break;  // the byte loop reports it

        // Shift codes are dropped; every other byte gives one.
        const std::uint64_t kept = window & ~shifts;
        _mm512_storeu_si512(out + o, _mm512_maskz_compress_epi8(kept, bytes));
        o += _mm_popcnt_u64(kept);
        doubleByte = (modeAfter >> (step - 1)) & 1;
        i += step;
    }

    cursor.in = i;
    cursor.out = o;
    cursor.doubleByte = doubleByte;
}

}  // namespace

bool windowsAvailable() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}

void convertWindows(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                    const StreamTables& tables, WindowCursor& cursor) {
    convertAll(in, n, out, tables, cursor);
}

#else

bool windowsAvailable() { return false; }

void convertWindows(const std::uint8_t*, std::size_t, std::uint8_t*, const StreamTables&,
                    WindowCursor&) {}

#endif

}  // namespace velk::j2s
