// s2j 64 input bytes at a time with AVX2: the byte tests of a window become
// masks as in the AVX-512 kernel, the single bytes come from the pair
// table as at the portable level (fewer steps than the nibble look-up of
// all sixteen rows), kanji from the table one by one, and the kept bytes
// are packed eight at a time.
#include "simd/avx2/common.h"
#include "simd/avx2/kernels.h"
#include "simd/portable/windows.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx2 {

VELK_AVX2 void s2jWindows(const S2jTables& tables, const std::uint8_t* in, std::size_t n,
                          std::int64_t base, S2jCursor& cursor) {
    portable::Scratch scratch;
    std::uint8_t* const bytes = scratch.bytes();

    // A copy: stores through o could alias the cursor itself.
    auto [i, o, open, lineFeeds, lineStart] = cursor;

    while (i + 64 <= n) {
        const Window v = loadWindow(in + i);
        portable::lookupPairs(in + i, tables.singlePairs, scratch);
        const __m256i low = _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
        const __m256i high = _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes + 32));
        const std::uint64_t firstBytes = bitsOf(leadBytesOf(v.low), leadBytesOf(v.high));
        const std::uint64_t lineFeedBytes = equalBits(v, 0x0A);
        const std::uint64_t lineEndBytes = lineFeedBytes | equalBits(v, 0x0D);

        const SjisWindow w = sjisWindowOf(firstBytes, lineEndBytes);
        if (w.singles & zeroBits(low, high)) break;  // the byte loop reports it

        if (w.leads != 0 && kanjiByTable(in + i, w.leads, tables.kanji, bytes)) break;

        // CR and LF are dropped; every other byte of the window gives one.
        const std::uint64_t kept = w.window & ~w.lineEnds;
        if (!tables.shiftCodes) {
            o += compress(bytes, kept, o);
        } else {
            const std::uint64_t shifts = shiftsBefore(w.leads, w.singles, open);
            o += compressWithShifts(_mm256_load_si256(reinterpret_cast<const __m256i*>(bytes)),
                                    _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes + 32)),
                                    w.leads, shifts, kept, o);
        }
        countLineFeeds(w.lineEnds & lineFeedBytes, base + static_cast<std::int64_t>(i), lineFeeds,
                       lineStart);
        i += w.step;
    }

    cursor = {i, o, open, lineFeeds, lineStart};
}

}  // namespace velk::simd::avx2

#endif
