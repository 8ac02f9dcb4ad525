// j2u stream conversion 64 input bytes at a time with AVX2: the window's
// shift codes, modes and kanji lead bytes come as masks, as for j2s; the
// entries of its characters are packed into a list in order, and each is
// one look-up and one store, with no branch on its kind or its entry. The
// portable loop finishes what the windows leave.
#include <cstring>

#include "simd/avx2/common.h"
#include "simd/avx2/kernels.h"
#include "simd/portable/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx2 {

namespace {

// For each 8-bit mask, the shuffle that packs the 16-bit lanes it selects
// to the front.
constexpr auto kPackLanes = [] {
    std::array<std::array<std::uint8_t, 16>, 256> t{};
    for (int m = 0; m < 256; ++m) {
        int k = 0;
        for (int b = 0; b < 8; ++b)
            if ((m >> b) & 1) {
                t[m][2 * k] = static_cast<std::uint8_t>(2 * b);
                t[m][2 * k + 1] = static_cast<std::uint8_t>(2 * b + 1);
                ++k;
            }
        for (; k < 8; ++k) t[m][2 * k] = t[m][2 * k + 1] = 0x80;
    }
    return t;
}();

VELK_AVX2 inline unsigned packLanes(__m128i v, unsigned mask, std::uint16_t* list) {
    const __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(kPackLanes[mask].data()));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(list), _mm_shuffle_epi8(v, shuffle));
    return static_cast<unsigned>(__builtin_popcount(mask));
}

// The entries of the characters of the window at p, in order: single
// bytes at their value, kanji (lead bytes in `leads`) at their code.
// Returns how many; list must hold 64 + 8.
VELK_AVX2 inline unsigned windowList(const std::uint8_t* p, std::uint64_t leads,
                                     std::uint64_t characters, std::uint16_t* list) {
    const __m256i bit = _mm256_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096,
                                          8192, 16384, -32768);
    unsigned count = 0;
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        const std::uint8_t* q = p + 16 * k;
        const __m256i first = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q)));
        const __m256i second =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q + 1)));
        const __m256i code = _mm256_or_si256(_mm256_slli_epi16(first, 8), second);
        // A lead byte 0x00 reads row 1, which is empty (see streamKanjiIndex).
        const __m256i kanji = _mm256_max_epu16(code, _mm256_set1_epi16(0x100));
        const __m256i single = _mm256_cmpeq_epi16(
            _mm256_and_si256(_mm256_set1_epi16(static_cast<short>(leads >> (16 * k))), bit),
            _mm256_setzero_si256());
        const __m256i entry = _mm256_blendv_epi8(kanji, first, single);
        const auto chars16 = static_cast<unsigned>(characters >> (16 * k));
        count += packLanes(_mm256_castsi256_si128(entry), chars16 & 0xFF, list + count);
        count += packLanes(_mm256_extracti128_si256(entry, 1), (chars16 >> 8) & 0xFF, list + count);
    }
    return count;
}

VELK_AVX2 inline bool windowAt(const std::uint8_t* p, bool doubleByte, JefWindow& w) {
    const Window v = loadWindow(p);
    return jefWindow(equalBits(v, 0x28) | equalBits(v, 0x38), equalBits(v, 0x29), doubleByte, w);
}

// The list is looked up four entries at a time; past its end it reads the
// EBCDIC blank, whose bytes are taken back.
constexpr std::uint16_t kPad = 0x40;

}  // namespace

VELK_AVX2 void streamChars(const StreamChars& tables, const std::uint8_t* in, std::size_t n,
                           std::uint8_t* out, J2sCursor& cursor) {
    const std::uint32_t* chars = tables.chars;
    const std::size_t padCount = chars[kPad] >> 24;
    alignas(32) std::uint16_t list[64 + 8];
    std::size_t i = cursor.in;
    std::size_t o = cursor.out;
    bool doubleByte = cursor.doubleByte;

    for (;;) {
        // One byte past the window is read with each character's pair.
        JefWindow w;
        bool more = i + 64 < n && windowAt(in + i, doubleByte, w);
        while (more) {
            const std::uint64_t characters = w.singles | w.leads;
            const std::uint64_t leads = w.leads;
            const unsigned count = windowList(in + i, leads, characters, list);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(list + count), _mm_set1_epi16(kPad));
            const bool after = (w.mode >> (w.step - 1)) & 1;
            const std::size_t next = i + w.step;
            // The next window's masks first: their steps overlap this
            // window's stores. A window they refuse goes to the loop below.
            more = next + 64 < n && windowAt(in + next, after, w);

            // An entry 0 (the byte loop decides) sets the top bit of `zero`,
            // as counts are at most 4; the window is then done again
            // character by character to stop there.
            std::uint32_t zero = 0;
            std::size_t to = o;
            unsigned k = 0;
            for (; k < count; k += 4) {
                const std::uint32_t u0 = chars[list[k]], u1 = chars[list[k + 1]];
                const std::uint32_t u2 = chars[list[k + 2]], u3 = chars[list[k + 3]];
                std::memcpy(out + to, &u0, sizeof u0);
                to += u0 >> 24;
                std::memcpy(out + to, &u1, sizeof u1);
                to += u1 >> 24;
                std::memcpy(out + to, &u2, sizeof u2);
                to += u2 >> 24;
                std::memcpy(out + to, &u3, sizeof u3);
                to += u3 >> 24;
                zero |= (u0 - 1) | (u1 - 1) | (u2 - 1) | (u3 - 1);
            }
            if ((zero >> 31) == 0) {
                o = to - (k - count) * padCount;
            } else {  // again one by one, to stop there (unless only a pad was 0)
                std::uint64_t c = characters;
                for (unsigned m = 0; m < count; ++m, c &= c - 1) {
                    const std::uint32_t u = chars[list[m]];
                    if (u == 0) {  // the byte loop takes it, in the mode it is read in
                        const auto j = static_cast<unsigned>(__builtin_ctzll(c));
                        cursor = {i + j, o, ((leads >> j) & 1) != 0};
                        return;
                    }
                    std::memcpy(out + o, &u, sizeof u);
                    o += u >> 24;
                }
            }
            doubleByte = after;
            i = next;
        }
        cursor = {i, o, doubleByte};
        if (i + 64 >= n) break;
        // The window the masks could not take, one character at a time;
        // then windows again, unless a byte there needs a decision.
        const std::size_t limit = i + 64;
        portable::streamChars(tables, in, limit, out, cursor);
        const bool leadAtLimit = cursor.doubleByte && cursor.in + 1 == limit;
        if (cursor.in != limit && !leadAtLimit) return;
        i = cursor.in;
        o = cursor.out;
        doubleByte = cursor.doubleByte;
    }
    portable::streamChars(tables, in, n, out, cursor);
}

}  // namespace velk::simd::avx2

#endif
