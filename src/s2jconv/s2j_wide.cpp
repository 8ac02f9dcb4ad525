#include "s2jconv/s2j_wide.h"

#include "tblknj/kanji_gather.h"
#include "tblknj/kanji_tables.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VELK_S2J_WIDE 1
#endif

namespace velk::s2j {

#ifdef VELK_S2J_WIDE

namespace {

constexpr std::uint64_t kEvenBits = 0x5555555555555555ULL;
constexpr std::uint64_t kOddBits = ~kEvenBits;

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

#define VELK_WIDE_TARGET \
    __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))

// The lead bytes of the kanji in a window: a byte that is not a first byte
// always ends a character, so a run of first bytes starts a character and
// pairs up from its start. Positions at an even distance from the start of
// their run are lead bytes; the others are second bytes.
VELK_WIDE_TARGET std::uint64_t leadBytes(std::uint64_t firstBytes) {
    const std::uint64_t runStarts = firstBytes & ~(firstBytes << 1);
    // Adding the start bit of each run that starts at an even position
    // clears that run: the cleared bits are those runs.
    const std::uint64_t evenRuns = firstBytes & ~(firstBytes + (runStarts & kEvenBits));
    const std::uint64_t oddRuns = firstBytes & ~evenRuns;
    return (evenRuns & kEvenBits) | (oddRuns & kOddBits);
}

// The kanji of a window, lead bytes at `leads` and second bytes one
// position on, each pair replaced by its JEF code in `bytes`. Sets
// `unmapped` when a code has no mapping. The pairs are packed together so
// that each table look-up serves a kanji, not a byte position.
VELK_WIDE_TARGET __m512i kanjiCodes(__m512i v, std::uint64_t leads, __m512i bytes,
                                    std::uint64_t& unmapped) {
    const std::uint64_t pairs = leads | (leads << 1);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(leads));
    const __m512i packed = _mm512_maskz_compress_epi8(pairs, v);
    // Lead bytes stop at 0xFC, so the entry after any index is inside the table.
    const __m512i found = gatherKanji(packed, count, sjis2jef.data());
    if (_bzhi_u32(_mm512_testn_epi16_mask(found, found), count) != 0) unmapped |= leads;
    return _mm512_mask_expand_epi8(bytes, pairs, found);
}

VELK_WIDE_TARGET void convertWindows(const Converter& conv, const std::uint8_t* in, std::size_t n,
                                     std::int64_t base, WideCursor& cursor) {
    const __m512i table0 = _mm512_loadu_si512(conv.single.data());
    const __m512i table1 = _mm512_loadu_si512(conv.single.data() + 64);
    const __m512i table2 = _mm512_loadu_si512(conv.single.data() + 128);
    const __m512i table3 = _mm512_loadu_si512(conv.single.data() + 192);
    const __m512i shiftCodes = _mm512_set1_epi8(kKanjiOut);
    const __m512i kanjiIn = _mm512_set1_epi8(kKanjiIn);
    const __m512i firstHalves = _mm512_load_si512(kIndexes.firstHalves);
    const __m512i secondHalves = _mm512_load_si512(kIndexes.secondHalves);

    std::size_t i = cursor.in;
    std::uint8_t* o = cursor.out;
    bool open = cursor.kanjiOpen;
    std::int64_t lineFeeds = cursor.lineFeeds;
    std::int64_t lineStart = cursor.lineStart;

    while (i + 64 <= n) {
        const __m512i v = _mm512_loadu_si512(in + i);
        const __m512i singleBytes = _mm512_mask_blend_epi8(
            _mm512_movepi8_mask(v), _mm512_permutex2var_epi8(table0, v, table1),
            _mm512_permutex2var_epi8(table2, v, table3));
        // First bytes are 0x80-0x9F and 0xE0-0xFC: one range once bit 5 is flipped.
        const std::uint64_t firstBytes = _mm512_cmplt_epu8_mask(
            _mm512_sub_epi8(_mm512_xor_si512(v, _mm512_set1_epi8(0x20)),
                            _mm512_set1_epi8(static_cast<char>(0xA0))),
            _mm512_set1_epi8(0x3D));
        const std::uint64_t lineFeedBytes = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x0A));
        const std::uint64_t lineEndBytes =
            lineFeedBytes | _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(0x0D));

        std::uint64_t leads = leadBytes(firstBytes);
        std::uint64_t window = ~std::uint64_t{0};
        std::size_t step = 64;
        if (leads >> 63) {  // its second byte is in the next window: start there
            window >>= 1;
            step = 63;
            leads &= window;
        }
        const std::uint64_t seconds = leads << 1;
        const std::uint64_t starts = window & ~seconds;
        const std::uint64_t lineEnds = starts & lineEndBytes;
        const std::uint64_t singles = starts & ~firstBytes & ~lineEnds;

        __m512i bytes = singleBytes;
        std::uint64_t unmapped = singles & _mm512_testn_epi8_mask(singleBytes, singleBytes);
        if (leads != 0) bytes = kanjiCodes(v, leads, bytes, unmapped);
        if (unmapped != 0) break;  // the byte loop reports it

        // CR and LF are dropped; every other byte of the window gives one.
        const std::uint64_t kept = window & ~lineEnds;
        if (!conv.shiftCodes) {
            _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(kept, bytes));
            o += _mm_popcnt_u64(kept);
        } else {
            // A shift code goes before each character that changes the kind
            // of the last one (line ends do not count): compare each kind
            // with the one before, packed together, then put them back.
            const std::uint64_t characters = leads | singles;
            const std::uint64_t kinds = _pext_u64(leads, characters);
            const int count = static_cast<int>(_mm_popcnt_u64(characters));
            const std::uint64_t changes =
                _bzhi_u64(kinds ^ ((kinds << 1) | std::uint64_t{open}), count);
            const std::uint64_t shifts = _pdep_u64(changes, characters);
            if (count != 0) open = (kinds >> (count - 1)) & 1;
            // Two slots per input byte: its shift code, then its own byte.
            const __m512i codes = _mm512_mask_blend_epi8(leads, shiftCodes, kanjiIn);
            const __m512i firstSlots = _mm512_permutex2var_epi8(codes, firstHalves, bytes);
            const __m512i secondSlots = _mm512_permutex2var_epi8(codes, secondHalves, bytes);
            const std::uint64_t firstKept =
                _pdep_u64(shifts, kEvenBits) | _pdep_u64(kept, kOddBits);
            const std::uint64_t secondKept =
                _pdep_u64(shifts >> 32, kEvenBits) | _pdep_u64(kept >> 32, kOddBits);
            _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(firstKept, firstSlots));
            o += _mm_popcnt_u64(firstKept);
            _mm512_storeu_si512(o, _mm512_maskz_compress_epi8(secondKept, secondSlots));
            o += _mm_popcnt_u64(secondKept);
        }
        if (const std::uint64_t feeds = lineEnds & lineFeedBytes) {
            lineFeeds += static_cast<std::int64_t>(_mm_popcnt_u64(feeds));
            const auto last = static_cast<std::int64_t>(63 - __builtin_clzll(feeds));
            lineStart = base + static_cast<std::int64_t>(i) + last + 1;
        }
        i += step;
    }

    cursor.in = i;
    cursor.out = o;
    cursor.kanjiOpen = open;
    cursor.lineFeeds = lineFeeds;
    cursor.lineStart = lineStart;
}

}  // namespace

bool wideAvailable() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}

void convertWide(const Converter& conv, const std::uint8_t* in, std::size_t n,
                 std::int64_t base, WideCursor& cursor) {
    convertWindows(conv, in, n, base, cursor);
}

#else

bool wideAvailable() { return false; }

void convertWide(const Converter&, const std::uint8_t*, std::size_t, std::int64_t, WideCursor&) {}

#endif

}  // namespace velk::s2j
