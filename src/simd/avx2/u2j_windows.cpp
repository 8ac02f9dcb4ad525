// u2j 64 input bytes at a time with AVX2: the byte classes of a window
// become masks, which check that it holds whole, well-formed characters
// only; ASCII comes from a vector look-up, every other character from the
// code-point table one by one; then, as in s2j's kernel, the kept bytes and
// shift codes are packed eight at a time.
#include "simd/avx2/common.h"
#include "simd/avx2/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx2 {

namespace {

// 0xFF where a byte is a continuation byte (0x80-0xBF, below 0xC0 signed).
VELK_AVX2 inline __m256i continuationsOf(__m256i v) {
    return _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(0xC0)), v);
}

// 0xFF where a byte leads a three-byte sequence (0xE0-0xEF).
VELK_AVX2 inline __m256i threeByteLeadsOf(__m256i v) {
    return _mm256_cmpeq_epi8(_mm256_and_si256(v, _mm256_set1_epi8(static_cast<char>(0xF0))),
                             _mm256_set1_epi8(static_cast<char>(0xE0)));
}

// 0xFF where a byte starts nothing this kernel takes: C0 and C1 (always
// overlong), F0-FF (four bytes, beyond the table, or never UTF-8), E0 and
// ED (overlong or surrogate forms, and otherwise code points that CP932
// has nothing for).
VELK_AVX2 inline __m256i refusedLeadsOf(__m256i v) {
    const __m256i fours = _mm256_cmpeq_epi8(_mm256_max_epu8(v, _mm256_set1_epi8(static_cast<char>(0xF0))), v);
    const __m256i overlong = _mm256_cmpeq_epi8(_mm256_and_si256(v, _mm256_set1_epi8(static_cast<char>(0xFE))),
                                               _mm256_set1_epi8(static_cast<char>(0xC0)));
    const __m256i e0 = _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(0xE0)));
    const __m256i ed = _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(0xED)));
    return _mm256_or_si256(_mm256_or_si256(fours, overlong), _mm256_or_si256(e0, ed));
}

// Looks up the three-byte characters whose leads are at `leads`: each
// entry goes whole (output bytes, flags, a zero byte) over the character's
// bytes in `out` and the next lead's, which is written later.
VELK_AVX2 inline void lookUpThrees(const std::uint8_t* in, std::uint64_t leads,
                                   const std::uint32_t* entry, std::uint8_t* out) {
    for (; leads != 0; leads = _blsr_u64(leads)) {
        const auto j = static_cast<unsigned>(_tzcnt_u64(leads));
        std::uint32_t word;
        std::memcpy(&word, in + j, 4);
        const std::uint32_t e = entry[_pext_u32(__builtin_bswap32(word), 0x0F3F3F00u)];
        std::memcpy(out + j, &e, 4);
    }
}

// The two-byte characters, after the three-byte ones: their flags, which
// have no place among their own two bytes, go to `flags` at the lead.
VELK_AVX2 inline void lookUpTwos(const std::uint8_t* in, std::uint64_t leads,
                                 const std::uint32_t* entry, std::uint8_t* out,
                                 std::uint8_t* flags) {
    for (; leads != 0; leads = _blsr_u64(leads)) {
        const auto j = static_cast<unsigned>(_tzcnt_u64(leads));
        std::uint32_t word;
        std::memcpy(&word, in + j, 4);
        const std::uint32_t e = entry[_pext_u32(__builtin_bswap32(word), 0x1F3F0000u)];
        const auto bytes = static_cast<std::uint16_t>(e);
        std::memcpy(out + j, &bytes, 2);
        flags[j] = static_cast<std::uint8_t>(e >> 16);
    }
}

// Flag bits 0 (double) and 1 (no mapping) of 64 bytes, as masks.
VELK_AVX2 inline void flagBits(const std::uint8_t* flags, std::uint64_t& doubles,
                               std::uint64_t& unmapped) {
    const Window f = loadWindow(flags);
    doubles = bitsOf(_mm256_slli_epi16(f.low, 7), _mm256_slli_epi16(f.high, 7));
    unmapped = bitsOf(_mm256_slli_epi16(f.low, 6), _mm256_slli_epi16(f.high, 6));
}

}  // namespace

VELK_AVX2 void u2jWindows(const U2jTables& tables, const std::uint8_t* in, std::size_t n,
                          U2jCursor& cursor) {
    AsciiLookup plain;
    loadLookup(plain, tables.plain);
    alignas(32) std::uint8_t bytes[64];
    // Entries of the characters beyond ASCII; read where those stand only.
    alignas(32) std::uint8_t entries[64 + 4] = {};
    alignas(32) std::uint8_t flags[64] = {};  // of two-byte characters, at their leads
    static_assert(kU2jDouble >> 16 == 1 && kU2jNoMapping >> 16 == 2);

    std::size_t i = cursor.in;
    std::uint8_t* o = cursor.out;
    bool open = cursor.kanjiOpen;
    std::int64_t at = cursor.chars;
    std::int64_t lineFeeds = cursor.lineFeeds;
    std::int64_t lineStart = cursor.lineStart;

    while (i + kU2jWindowBytes <= n) {
        const Window v = loadWindow(in + i);
        const std::uint64_t ascii = ~bitsOf(v.low, v.high);
        const std::uint64_t continuations = bitsOf(continuationsOf(v.low), continuationsOf(v.high));
        const std::uint64_t threes = bitsOf(threeByteLeadsOf(v.low), threeByteLeadsOf(v.high));
        const std::uint64_t refused = bitsOf(refusedLeadsOf(v.low), refusedLeadsOf(v.high));
        const std::uint64_t twos = ~ascii & ~continuations & ~threes;  // and refused ones
        const std::uint64_t leads = twos | threes;

        // A sequence cut by the window's end waits for the next window.
        const std::size_t step = (threes >> 62) & 1 ? 62 : 64 - (leads >> 63);
        const std::uint64_t window = _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(step));
        // Each lead has exactly its continuation bytes after it: checked
        // over all 64 bytes, as a lead just before a held one expects
        // continuation bytes where it stands.
        const std::uint64_t expected = (leads << 1) | (threes << 2);
        if ((continuations ^ expected) | refused) break;  // the byte loop decides

        const std::uint64_t lineFeedBytes = equalBits(v, 0x0A);
        const std::uint64_t lineEnds = lineFeedBytes | equalBits(v, 0x0D);
        const __m256i low = lookup(plain, v.low);
        const __m256i high = lookup(plain, v.high);
        const std::uint64_t asciiChars = ascii & window & ~lineEnds;
        if (asciiChars & zeroBits(low, high)) break;  // no plain mapping

        lookUpThrees(in + i, threes & window, tables.entry, entries);
        std::uint64_t doubles, unmapped;
        flagBits(entries + 2, doubles, unmapped);  // three bytes: the flags on the last
        doubles &= threes & window;
        unmapped &= threes & window;
        if (twos & window) {
            lookUpTwos(in + i, twos & window, tables.entry, entries, flags);
            std::uint64_t twoDoubles, twoUnmapped;
            flagBits(flags, twoDoubles, twoUnmapped);
            doubles |= twoDoubles & twos & window;
            unmapped |= twoUnmapped & twos & window;
        }
        if (unmapped) break;
        // The looked-up bytes where the input is not ASCII.
        const __m256i bytesLow = _mm256_blendv_epi8(
            low, _mm256_load_si256(reinterpret_cast<const __m256i*>(entries)), v.low);
        const __m256i bytesHigh = _mm256_blendv_epi8(
            high, _mm256_load_si256(reinterpret_cast<const __m256i*>(entries + 32)), v.high);

        // CR and LF are dropped; a single-byte character gives one byte, a
        // double-byte one its lead's byte and the next.
        const std::uint64_t characters = asciiChars | (leads & window);
        const std::uint64_t kept = characters | (doubles << 1);
        if (!tables.shiftCodes) {
            store(bytes, bytesLow);
            store(bytes + 32, bytesHigh);
            o += compress(bytes, kept, o);
        } else {
            const std::uint64_t shifts = shiftsBefore(doubles, characters & ~doubles, open);
            o += compressWithShifts(bytesLow, bytesHigh, doubles, shifts, kept, o);
        }

        // Positions in messages count characters: every byte but a
        // continuation byte starts one.
        const std::uint64_t starts = ~continuations & window;
        if (const std::uint64_t feeds = lineFeedBytes & window) {
            lineFeeds += _mm_popcnt_u64(feeds);
            const auto through = static_cast<unsigned>(64 - __builtin_clzll(feeds));
            lineStart = at + _mm_popcnt_u64(_bzhi_u64(starts, through));
        }
        at += _mm_popcnt_u64(starts);
        i += step;
    }

    cursor.in = i;
    cursor.out = o;
    cursor.kanjiOpen = open;
    cursor.chars = at;
    cursor.lineFeeds = lineFeeds;
    cursor.lineStart = lineStart;
}

}  // namespace velk::simd::avx2

#endif
