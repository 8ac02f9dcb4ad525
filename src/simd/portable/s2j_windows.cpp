// s2j 64 input bytes at a time at the portable level: the window's masks
// as the other levels find them, from 16-byte vectors.
#include "simd/portable/kernels.h"
#include "simd/portable/windows.h"

namespace velk::simd::portable {

namespace {

// 0x80-0x9F and 0xE0-0xFC start a kanji: one range once bit 5 is flipped.
inline std::uint64_t firstBytes(const Window64& v) {
    return windowBits(v, [](Bytes16 b) { return ((b ^ splat(0x20)) - splat(0xA0)) <= splat(0x3C); });
}

}  // namespace

void s2jWindows(const S2jTables& tables, const std::uint8_t* in, std::size_t n, std::int64_t base,
                S2jCursor& cursor) {
    if constexpr (!words::kLittleEndian) return;
    Scratch scratch;
    std::uint8_t* const bytes = scratch.bytes();

    // A copy: stores through o could alias the cursor itself.
    auto [i, o, open, lineFeeds, lineStart] = cursor;

    // A window writes at most 128 bytes and its run copies kOvershoot more:
    // 16 input bytes more give the room (out holds twice the input).
    while (i + 64 + 16 <= n) {
        const std::uint8_t* p = in + i;
        const Window64 v = loadWindow64(p);
        const std::uint64_t first = firstBytes(v);
        const std::uint64_t lineFeedBytes = equalBits(v, 0x0A);
        const std::uint64_t lineEndBytes = lineFeedBytes | equalBits(v, 0x0D);
        lookupPairs(p, tables.singlePairs, scratch);

        const SjisWindow w = sjisWindowOf(first, lineEndBytes);
        kanjiWindow(p, w.leads, tables.kanji, bytes);
        // A single byte or kanji without mapping (0 0): the byte loop
        // reports it.
        const std::uint64_t zeros = zeroBytes(bytes);
        if (zeros & (w.singles | (w.leads & (zeros >> 1)))) break;

        if (tables.shiftCodes)
            o += dropAndShift(bytes, w.step, w.lineEnds,
                              shiftsBefore(w.leads, w.leads | w.singles, w.step, open), w.leads, o);
        else
            o += dropBytes(bytes, w.step, w.lineEnds, o);
        // Line feeds counted without a branch: about every other window has one.
        const std::uint64_t feeds = w.lineEnds & lineFeedBytes;
        lineFeeds += words::bitCount(feeds);
        const std::int64_t after = base + static_cast<std::int64_t>(i) + 64 - std::countl_zero(feeds | 1);
        lineStart = feeds != 0 ? after : lineStart;
        i += w.step;
    }

    cursor = {i, o, open, lineFeeds, lineStart};
}

}  // namespace velk::simd::portable
