#include "j2sconv/stream_wide.h"

#include "j2sconv/stream_convert.h"

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

// Each byte's predecessor, for moving second bytes into place.
struct PreviousIndexes {
    alignas(64) std::uint8_t index[64];
};
constexpr PreviousIndexes kPrevious = [] {
    PreviousIndexes x{};
    for (int j = 0; j < 64; ++j) x.index[j] = static_cast<std::uint8_t>(j == 0 ? 0 : j - 1);
    return x;
}();

// Bit j is set when an odd number of bits at or below j are.
std::uint64_t prefixXor(std::uint64_t x) {
    for (int shift = 1; shift < 64; shift *= 2) x ^= x << shift;
    return x;
}

// Lead bytes of the kanji in the runs of kanji bytes: each run pairs up
// from its start.
std::uint64_t leadBytes(std::uint64_t kanjiBytes) {
    const std::uint64_t runStarts = kanjiBytes & ~(kanjiBytes << 1);
    // Adding a run's start bit clears the run: what is left are odd runs.
    const std::uint64_t evenRuns = kanjiBytes & ~(kanjiBytes + (runStarts & kEvenBits));
    const std::uint64_t oddRuns = kanjiBytes & ~evenRuns;
    return (evenRuns & kEvenBits) | (oddRuns & kOddBits);
}

VELK_WINDOW_TARGET __m512i join(const __m128i* parts) {
    __m512i v = _mm512_castsi128_si512(parts[0]);
    v = _mm512_inserti32x4(v, parts[1], 1);
    v = _mm512_inserti32x4(v, parts[2], 2);
    return _mm512_inserti32x4(v, parts[3], 3);
}

// Shift JIS codes of the kanji whose lead bytes are marked: first bytes at
// the lead positions, second bytes one position on. Sets `unmapped` for
// each lead byte without a code.
VELK_WINDOW_TARGET void kanjiCodes(const std::uint8_t* in, const KanjiEntry* table,
                                   std::uint64_t leads, __m512i& firsts, __m512i& seconds,
                                   std::uint64_t& unmapped) {
    // The zero-masked forms throughout: GCC 12 warns about the undefined
    // vector that the plain forms start from.
    constexpr __mmask16 all = 0xFFFF;
    __m128i first[4], second[4];
    for (int q = 0; q < 4; ++q) {
        const __m512i high = _mm512_maskz_cvtepu8_epi32(
            all, _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * q)));
        const __m512i low = _mm512_maskz_cvtepu8_epi32(
            all, _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * q + 1)));
        const __m512i code = _mm512_or_si512(_mm512_maskz_slli_epi32(all, high, 8), low);
        // Four bytes from each two-byte entry: the table has one spare entry.
        const __m512i entry = _mm512_mask_i32gather_epi32(
            _mm512_setzero_si512(), static_cast<__mmask16>(leads >> (16 * q)), code, table, 2);
        first[q] = _mm512_maskz_cvtepi32_epi8(all, entry);
        second[q] = _mm512_maskz_cvtepi32_epi8(all, _mm512_maskz_srli_epi32(all, entry, 8));
    }
    firsts = join(first);
    const __m512i secondsAtLead = join(second);
    const __m512i either = _mm512_or_si512(firsts, secondsAtLead);
    unmapped |= leads & _mm512_testn_epi8_mask(either, either);
    seconds = _mm512_maskz_permutexvar_epi8(~__mmask64{0}, _mm512_load_si512(kPrevious.index),
                                            secondsAtLead);
}

VELK_WINDOW_TARGET void convertAll(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                                   const StreamTables& tables, WindowCursor& cursor) {
    const std::uint8_t* plain = tables.plain.data();
    const __m512i table0 = _mm512_loadu_si512(plain);
    const __m512i table1 = _mm512_loadu_si512(plain + 64);
    const __m512i table2 = _mm512_loadu_si512(plain + 128);
    const __m512i table3 = _mm512_loadu_si512(plain + 192);
    const KanjiEntry* kanji = tables.kanji.data();

    std::size_t i = cursor.in;
    std::size_t o = cursor.out;
    bool doubleByte = cursor.doubleByte;

    while (i + 65 <= n) {
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
        if (leads != 0) {
            __m512i firstOfKanji, secondOfKanji;
            kanjiCodes(in + i, kanji, leads, firstOfKanji, secondOfKanji, unmapped);
            bytes = _mm512_mask_blend_epi8(leads, bytes, firstOfKanji);
            bytes = _mm512_mask_blend_epi8(seconds, bytes, secondOfKanji);
        }
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
