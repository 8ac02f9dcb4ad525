// Windows code page 932 <-> Unicode, as glibc's iconv CP932 converter maps
// it. Shift-JIS codes are one byte (below 0x100) or lead * 256 + trail.
#pragma once

#include <array>
#include <cstdint>

namespace velk::cp932 {

// Neither a Shift-JIS code nor a code point that CP932 maps.
inline constexpr std::uint16_t kNone = 0xFFFF;

using Table = std::array<std::uint16_t, 65536>;

// Shift-JIS code -> code point (all CP932 code points are in the BMP).
const Table& toUnicode();
// Code point -> Shift-JIS code: what iconv -f UTF-8 -t CP932 gives.
const Table& fromUnicode();

// The UTF-8 form of a BMP code point into out (1 to 3 bytes); returns the length.
inline int encodeUtf8(std::uint16_t cp, std::uint8_t* out) {
    if (cp < 0x80) {
        out[0] = static_cast<std::uint8_t>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<std::uint8_t>(0xC0 | (cp >> 6));
        out[1] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = static_cast<std::uint8_t>(0xE0 | (cp >> 12));
    out[1] = static_cast<std::uint8_t>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | (cp & 0x3F));
    return 3;
}

}  // namespace velk::cp932
