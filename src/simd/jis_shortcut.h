// JEF kanji of JIS X 0208 (both bytes 0xA1-0xFE) convert to Shift JIS by
// the JIS arithmetic, for all but a few pairs: the vector kernels compute
// them instead of looking each one up. The pairs where the table says
// otherwise are found once per run, so the table stays the one authority.
// A table that leaves whole rows to itself (j2u's, narrowed to code page
// 932, has gaps in the symbol rows) keeps the arithmetic for the others.
#pragma once

#include <array>
#include <cstdint>

namespace velk::simd {

struct JisShortcut {
    // Pairs (lead byte, then second byte, as a little-endian word) whose
    // entry is not the arithmetic's, in the rows it takes.
    std::array<std::uint16_t, 8> irregular{};
    int count = -1;  // -1: no row takes it, and the shortcut is not used
    // The rows (lead bytes) it takes: all, or those whose bit is set in
    // rowBits[lead & 15] at bit (lead >> 4) - 8.
    bool allRows = true;
    std::array<std::uint8_t, 16> rowBits{};

    bool takes(unsigned lead) const { return ((rowBits[lead & 15] >> ((lead >> 4) - 8)) & 1) != 0; }
    // Kernels that do not test rows use it only where it takes them all.
    bool wholeTable() const { return count >= 0 && allRows; }
};

// `table`: 65,536 two-byte entries, lead * 256 + second.
JisShortcut findJisShortcut(const std::uint8_t* table);

}  // namespace velk::simd
