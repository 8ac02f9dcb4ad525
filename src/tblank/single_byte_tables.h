// Single-byte code tables between EBCDIC and ASCII/JIS8.
// Each is indexed by the input byte; 0x00 in an entry means "no mapping".
#pragma once

#include <array>
#include <cstdint>

namespace velk {

using ByteTable = std::array<std::uint8_t, 256>;

// EBCDIC -> ASCII/JIS8 (j2s).
extern const ByteTable e2aKana;
extern const ByteTable e2aLower;
extern const ByteTable e2aAscii;
// ASCII/JIS8 -> EBCDIC (s2j, pattern keywords).
extern const ByteTable a2eKana;
extern const ByteTable a2eLower;
extern const ByteTable a2eAscii;

// j2s table choice: 1 kana, 2 lowercase, anything else ASCII.
inline const ByteTable& e2aTableFor(int optConv) {
    return optConv == 1 ? e2aKana : optConv == 2 ? e2aLower : e2aAscii;
}

// Pattern-keyword table choice under j2s's optConv, same rule as above.
inline const ByteTable& a2eTableFor(int optConv) {
    return optConv == 1 ? a2eKana : optConv == 2 ? a2eLower : a2eAscii;
}

}  // namespace velk
