// Bit-mask steps that every level's windows share: a window of 64 bytes is
// seen as 64-bit masks, one bit a byte, whatever produced them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/simd.h"

namespace velk::simd {

inline constexpr std::uint64_t kEvenBits = 0x5555555555555555ULL;
inline constexpr std::uint64_t kOddBits = ~kEvenBits;

// Bit j is set when an odd number of bits at or below j are.
inline std::uint64_t prefixXor(std::uint64_t x) {
#pragma GCC unroll 6
    for (int shift = 1; shift < 64; shift *= 2) x ^= x << shift;
    return x;
}

// Lead bytes of the kanji in runs of kanji bytes: a byte that is not a
// kanji byte always ends a character, so each run pairs up from its start.
inline std::uint64_t leadBytes(std::uint64_t kanjiBytes) {
    const std::uint64_t runStarts = kanjiBytes & ~(kanjiBytes << 1);
    // Adding the start bit of each run that starts at an even position
    // clears that run: the cleared bits are those runs.
    const std::uint64_t evenRuns = kanjiBytes & ~(kanjiBytes + (runStarts & kEvenBits));
    const std::uint64_t oddRuns = kanjiBytes & ~evenRuns;
    return (evenRuns & kEvenBits) | (oddRuns & kOddBits);
}

// A kanji whose lead byte ends the window is left for the next window:
// drops it from `leads` and `window` and returns the bytes the window takes.
inline std::size_t holdLastLead(std::uint64_t& leads, std::uint64_t& window) {
    if ((leads >> 63) == 0) return 64;
    window >>= 1;
    leads &= window;
    return 63;
}

// j2s and j2u: the characters of a window of JEF/EBCDIC.
struct JefWindow {
    std::uint64_t mode;     // set after each byte that leaves double-byte mode
    std::uint64_t shifts;   // shift-code bytes: they give nothing
    std::uint64_t leads;    // kanji lead bytes; one that ends the window waits
    std::uint64_t singles;  // single-byte characters
    std::uint64_t window;   // the bytes the window takes, `step` of them
    std::size_t step;
};

// The characters from the mode after each byte (bit set: double-byte) and
// the shift-code bytes. False when a kanji run has odd length: its last
// lead byte takes a shift-code byte as its second byte, so that byte was no
// shift code after all, and the byte loop decides.
inline bool jefWindowOf(std::uint64_t mode, std::uint64_t shifts, JefWindow& w) {
    w.shifts = shifts;
    w.mode = mode;
    const std::uint64_t kanjiBytes = w.mode & ~w.shifts;
    w.leads = leadBytes(kanjiBytes);
    w.window = ~std::uint64_t{0};
    w.step = holdLastLead(w.leads, w.window);
    w.singles = w.window & ~w.mode & ~w.shifts;
    return ((w.leads << 1) & ~kanjiBytes) == 0;
}

// s2j: the characters of a window of Shift JIS.
struct SjisWindow {
    std::uint64_t leads;     // kanji lead bytes; one that ends the window waits
    std::uint64_t singles;   // single-byte characters
    std::uint64_t lineEnds;  // CR and LF, which give nothing
    std::uint64_t window;    // the bytes the window takes, `step` of them
    std::size_t step;
};

// From the window's kanji first bytes and its CR and LF bytes.
inline SjisWindow sjisWindowOf(std::uint64_t firstBytes, std::uint64_t lineEndBytes) {
    SjisWindow w;
    w.leads = leadBytes(firstBytes);
    w.window = ~std::uint64_t{0};
    w.step = holdLastLead(w.leads, w.window);
    const std::uint64_t starts = w.window & ~(w.leads << 1);
    w.lineEnds = starts & lineEndBytes;
    w.singles = starts & ~firstBytes & ~w.lineEnds;
    return w;
}

// s2j: counts the line feeds of a window that starts at input offset `at`.
inline void countLineFeeds(std::uint64_t feeds, std::int64_t at, std::int64_t& lineFeeds,
                           std::int64_t& lineStart) {
    if (feeds == 0) return;
    lineFeeds += __builtin_popcountll(feeds);
    lineStart = at + (63 - __builtin_clzll(feeds)) + 1;
}

// The bits below `count` (0-64).
inline std::uint64_t lowBits(unsigned count) {
    return count >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// Which of `units` (bit i: unit i of a field's content) stay, given which
// are pads.
inline std::uint64_t keptUnits(const TrimRule& rule, std::uint64_t units, std::uint64_t pads) {
    const std::uint64_t solid = units & ~pads;
    if (solid == 0) return rule.empty ? 0 : units;
    std::uint64_t keep = units;
    if (rule.start) keep &= ~std::uint64_t{0} << __builtin_ctzll(solid);
    if (rule.end) keep &= lowBits(64u - static_cast<unsigned>(__builtin_clzll(solid)));
    if (rule.squeeze) keep &= solid | (pads & (solid << 1));
    return keep;
}

}  // namespace velk::simd
