// Facts of the JEF/EBCDIC side that both converters rely on.
#pragma once

#include <cstdint>

namespace velk::jef {

// Shift codes: 0x28 and 0x38 switch to kanji, 0x29 back to single bytes.
inline constexpr std::uint8_t kKanjiIn = 0x28;
inline constexpr std::uint8_t kKanjiInAlt = 0x38;
inline constexpr std::uint8_t kKanjiOut = 0x29;

inline bool isShiftCode(std::uint8_t b) { return b == kKanjiIn || b == kKanjiOut || b == kKanjiInAlt; }

// The EBCDIC blank.
inline constexpr std::uint8_t kSpace = 0x40;

// What j2s writes for a character without mapping: the blank, or the
// full-width blank (Shift-JIS 0x81 0x40) for a kanji.
inline constexpr std::uint8_t kSubstituteSingle = ' ';
inline constexpr std::uint8_t kSubstituteKanji[2] = {0x81, 0x40};

// Block sizes of the stream conversions: a file up to kWholeFileLimit
// bytes is one block, a larger one is cut into kLargeFileBlock bytes.
inline constexpr std::int64_t kWholeFileLimit = 32760;
inline constexpr std::int64_t kLargeFileBlock = kWholeFileLimit / 2;

}  // namespace velk::jef
