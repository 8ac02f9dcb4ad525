// j2u stream conversion 64 input bytes at a time with AVX2: the window's
// shift codes, modes and kanji lead bytes come as masks, as for j2s, and
// then each character is one look-up and one store, without a branch on
// its kind; the portable loop finishes what the windows leave.
#include <cstring>

#include "simd/avx2/common.h"
#include "simd/avx2/kernels.h"
#include "simd/portable/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx2 {

namespace {

// The entries of the 16 bytes at p, read as single bytes, or as lead bytes
// where `leads` (16 bits) says, with the byte after each as its second.
VELK_AVX2 inline void indexOf16(const std::uint8_t* p, std::uint32_t leads, std::uint16_t* index) {
    const __m256i first = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    const __m256i second =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)));
    const __m256i code = _mm256_or_si256(_mm256_slli_epi16(first, 8), second);
    // A lead byte 0x00 reads row 1, which is empty (see streamKanjiIndex).
    const __m256i kanji = _mm256_max_epu16(code, _mm256_set1_epi16(0x100));
    const __m256i single = _mm256_cmpeq_epi16(
        _mm256_and_si256(_mm256_set1_epi16(static_cast<short>(leads)),
                         _mm256_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096,
                                           8192, 16384, -32768)),
        _mm256_setzero_si256());
    _mm256_store_si256(reinterpret_cast<__m256i*>(index), _mm256_blendv_epi8(kanji, first, single));
}

VELK_AVX2 inline void windowIndex(const std::uint8_t* p, std::uint64_t leads, std::uint16_t* index) {
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k)
        indexOf16(p + 16 * k, static_cast<std::uint32_t>(leads >> (16 * k)) & 0xFFFF, index + 16 * k);
}

}  // namespace

VELK_AVX2 void streamChars(const StreamChars& tables, const std::uint8_t* in, std::size_t n,
                        std::uint8_t* out, J2sCursor& cursor) {
    const std::uint32_t* chars = tables.chars;
    alignas(32) std::uint16_t index[64];  // each byte's entry, read as a single byte or as a lead
    std::size_t i = cursor.in;
    std::size_t o = cursor.out;
    bool doubleByte = cursor.doubleByte;

    for (;;) {
        // One byte past the window is read with each character's pair.
        while (i + 64 < n) {
            const Window v = loadWindow(in + i);
            JefWindow w;
            if (!jefWindow(equalBits(v, 0x28) | equalBits(v, 0x38), equalBits(v, 0x29), doubleByte, w))
                break;  // the loop below decides

            windowIndex(in + i, w.leads, index);
            for (std::uint64_t c = w.singles | w.leads; c != 0; c &= c - 1) {
                const auto j = static_cast<unsigned>(__builtin_ctzll(c));
                const std::uint32_t u = chars[index[j]];
                if (u == 0) {  // the byte loop takes it, in the mode it is read in
                    cursor = {i + j, o, ((w.leads >> j) & 1) != 0};
                    return;
                }
                std::memcpy(out + o, &u, sizeof u);
                o += u >> 24;
            }
            doubleByte = (w.mode >> (w.step - 1)) & 1;
            i += w.step;
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
