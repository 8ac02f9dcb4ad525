// JEF kanji of JIS X 0208 (both bytes 0xA1-0xFE) convert to Shift JIS by
// the JIS arithmetic, for all but a few pairs: the vector kernels compute
// them instead of looking each one up. The pairs where the table says
// otherwise are found once per run, so the table stays the one authority.
#pragma once

#include <array>
#include <cstdint>

namespace velk::simd {

struct JisShortcut {
    // Pairs (lead byte, then second byte, as a little-endian word) whose
    // entry is not the arithmetic's.
    std::array<std::uint16_t, 8> irregular{};
    int count = -1;  // -1: more than fit, and the shortcut is not used
};

// `table`: 65,536 two-byte entries, lead * 256 + second.
JisShortcut findJisShortcut(const std::uint8_t* table);

}  // namespace velk::simd
