// Double-byte code tables between JEF and Shift-JIS.
// Indexed by first byte * 256 + second byte; each entry is the two output
// bytes in output order. {0x00, 0x00} means "no mapping"; an entry with only
// one zero byte is an ordinary mapping.
#pragma once

#include <array>
#include <cstdint>

namespace velk {

using KanjiEntry = std::array<std::uint8_t, 2>;
using KanjiTable = std::array<KanjiEntry, 65536>;

extern const KanjiTable jef2sjis;
extern const KanjiTable sjis2jef;

}  // namespace velk
