// j2s stream conversion 64 input bytes at a time with AVX2: the shift-code
// masks and the kanji of a window are the AVX-512 kernel's; JIS X 0208
// pairs are computed in place (at even and at odd offsets) rather than
// packed first, and the rest are looked up one by one.
#include "simd/avx2/common.h"
#include "simd/avx2/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx2 {

namespace {

VELK_AVX2 __m256i loadBytes(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The pairs of the window that the arithmetic takes, among `leads`; their
// codes are blended over `low` and `high`.
VELK_AVX2 std::uint64_t arithmeticKanji(const std::uint8_t* in, const Window& v,
                                        std::uint64_t leads, const JisShortcut& jis, __m256i& low,
                                        __m256i& high) {
    // The window one byte on, for the pairs that start at odd offsets; the
    // byte after the window is never part of one.
    const Window odd{loadBytes(in + 1),
                     _mm256_alignr_epi8(_mm256_permute2x128_si256(v.high, v.high, 0x81), v.high, 1)};
    const std::uint64_t jisBytes = bitsOf(jisBytesOf(v.low), jisBytesOf(v.high));
    std::uint64_t taken = leads & jisBytes & (jisBytes >> 1);
    if (jis.count > 0) {
        const std::uint64_t evenHits =
            bitsOf(irregularPairs(v.low, jis), irregularPairs(v.high, jis)) & kEvenBits;
        const std::uint64_t oddHits =
            bitsOf(irregularPairs(odd.low, jis), irregularPairs(odd.high, jis)) & kEvenBits;
        taken &= ~(evenHits | oddHits << 1);
    }
    if (taken == 0) return 0;
    alignas(32) std::uint8_t oddCodes[96];
    store(oddCodes + 1, jisArithmetic(odd.low));
    store(oddCodes + 33, jisArithmetic(odd.high));
    std::uint64_t evenPairs = taken & kEvenBits, oddPairs = taken & kOddBits;
    evenPairs |= evenPairs << 1;
    oddPairs |= oddPairs << 1;  // the lead at 63 waits, so nothing is lost
    low = _mm256_blendv_epi8(low, jisArithmetic(v.low), bytesOf(static_cast<std::uint32_t>(evenPairs)));
    high = _mm256_blendv_epi8(high, jisArithmetic(v.high),
                              bytesOf(static_cast<std::uint32_t>(evenPairs >> 32)));
    low = _mm256_blendv_epi8(low, loadBytes(oddCodes), bytesOf(static_cast<std::uint32_t>(oddPairs)));
    high = _mm256_blendv_epi8(high, loadBytes(oddCodes + 32),
                              bytesOf(static_cast<std::uint32_t>(oddPairs >> 32)));
    return taken;
}

}  // namespace

VELK_AVX2 void j2sWindows(const J2sTables& tables, const std::uint8_t* in, std::size_t n,
                          std::uint8_t* out, J2sCursor& cursor) {
    Lookup plain;
    loadLookup(plain, tables.plain);
    alignas(32) std::uint8_t bytes[64];

    std::size_t i = cursor.in;
    std::size_t o = cursor.out;
    bool doubleByte = cursor.doubleByte;

    while (i + 64 <= n) {
        const Window v = loadWindow(in + i);
        JefWindow w;
        if (!jefWindow(equalBits(v, 0x28) | equalBits(v, 0x38), equalBits(v, 0x29), doubleByte, w))
            break;
        __m256i low = lookup(plain, v.low);
        __m256i high = lookup(plain, v.high);
        if (w.singles & zeroBits(low, high)) break;  // the byte loop reports it
        std::uint64_t looked = w.leads;
        if (w.leads != 0 && tables.jis->wholeTable())
            looked &= ~arithmeticKanji(in + i, v, w.leads, *tables.jis, low, high);
        store(bytes, low);
        store(bytes + 32, high);
        if (looked != 0 && kanjiByTable(in + i, looked, tables.kanji, bytes)) break;

        // Shift codes are dropped; every other byte gives one.
        o += compress(bytes, w.window & ~w.shifts, out + o);
        doubleByte = (w.mode >> (w.step - 1)) & 1;
        i += w.step;
    }

    cursor.in = i;
    cursor.out = o;
    cursor.doubleByte = doubleByte;
}

// Plain single bytes, 32 at a time.
VELK_AVX2 std::size_t plainRun(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                               const std::uint8_t* table, bool& stopped) {
    Lookup plain;
    loadLookup(plain, table);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = lookup(plain, loadBytes(src + i));
        store(dst + i, v);
        if (const auto stops = static_cast<std::uint32_t>(
                _mm256_movemask_epi8(_mm256_cmpeq_epi8(v, _mm256_setzero_si256())))) {
            stopped = true;
            return i + static_cast<std::size_t>(__builtin_ctz(stops));
        }
    }
    stopped = false;
    return i;
}

}  // namespace velk::simd::avx2

#endif
