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

}  // namespace velk
