// UTF-8 to CP932 Shift-JIS, one block at a time, in memory: the first stage
// of u2j, whose output the s2j block conversion takes on. What cannot be
// decoded or has no Shift-JIS form is written as a byte that s2j always
// refuses, so that it is counted, substituted and bracketed by s2j's own
// rules; the decoder records what stood there for the message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "tblutf/cp932.h"

namespace velk::u2j {

// Stands for a malformed sequence: a single byte with no EBCDIC form under
// every optConv (9 copies bytes but not NUL).
inline constexpr std::uint8_t kMalformedMark = 0x00;
// Stands for a character with no Shift-JIS form: a double-byte code that
// sjis2jef never maps (0x80 counts as a first byte there).
inline constexpr std::uint8_t kUnmappedMark[2] = {0x80, 0x00};

struct Substitute {
    std::size_t at;       // offset of its mark in the decoder's output
    std::uint32_t value;  // code point, or the malformed bytes big-endian
    std::uint8_t length;  // bytes of a malformed sequence (1-3); 0 for a code point
};

struct DecodeResult {
    std::size_t consumed;      // input bytes decoded; the rest start the next block
    std::size_t written;       // Shift-JIS bytes (never more than consumed)
    std::int64_t characters;   // characters decoded, malformed sequences included
};

// Decodes in into out (room for in.size() bytes). A sequence cut by the end
// of `in` is left unconsumed unless endOfInput. Malformed input is taken in
// maximal well-formed prefixes (one mark each): a byte that cannot start a
// sequence, or a valid start with the continuation bytes that fit it before
// the first one that does not. Appends at most maxRecorded substitutes.
DecodeResult decodeUtf8(const cp932::Table& fromUnicode, std::span<const std::uint8_t> in,
                        bool endOfInput, std::uint8_t* out, std::vector<Substitute>& substitutes,
                        std::size_t maxRecorded);

// Whether bytes starts with the UTF-8 byte-order mark.
inline bool startsWithBom(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
}

}  // namespace velk::u2j
