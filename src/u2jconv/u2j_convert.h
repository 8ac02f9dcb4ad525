// UTF-8 text to JEF/EBCDIC, one block at a time, in memory: s2j's
// conversion with each character taken from UTF-8 instead of Shift-JIS.
// A code point goes through CP932 to its Shift-JIS code and from there
// through the very tables s2j uses (its optConv choice included); the two
// steps are composed into one table per run, so the block is read once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "s2jconv/s2j_convert.h"

namespace velk::u2j {

enum class ErrorKind : std::uint8_t {
    Malformed,  // value: the bytes big-endian, length: their count (1-3)
    NoEbcdic,   // a single-byte character the optConv table does not map; value: code point
    NoJef,      // no Shift-JIS form, or no JEF code for it; value: code point
};

struct ConversionError {
    ErrorKind kind;
    std::uint8_t length;
    std::uint32_t value;
    std::int64_t line;    // 1-based
    std::int64_t column;  // 1-based, in characters of the UTF-8 input
};

// What each BMP code point becomes under one run's options.
struct Tables {
    // Low 16 bits: the output bytes in the order they are written (a JEF
    // pair, first byte lowest, or an EBCDIC byte in the low 8), the
    // substitute where there is none; above them the Kind.
    std::vector<std::uint32_t> entry;
    s2j::Converter conv;  // its single-byte table, shift-code switch and fast-path level
    // ASCII bytes that need no decision to their EBCDIC byte; 0 for the
    // rest (line ends, unmapped, not ASCII).
    std::array<std::uint8_t, 256> plain{};

    enum Kind : std::uint32_t { Single = 0, Double = 1, SingleError = 2, DoubleError = 3 };
};

Tables makeTables(const s2j::Converter& conv);

// Converts `in` into `out`, which must hold 2 * in.size() bytes, with s2j's
// rules for shift codes, line ends, substitutes and the error limit.
// `state` counts in characters: offset and lineStart are character indexes.
// A sequence cut by the end of `in` is left unconsumed unless endOfInput.
// Malformed input is taken in maximal well-formed prefixes, one error each:
// a byte that cannot start a sequence, or a valid start with the
// continuation bytes that fit it before the first one that does not.
s2j::BlockResult convertBlock(const Tables& t, std::span<const std::uint8_t> in, bool endOfInput,
                              s2j::CarriedState& state, std::uint8_t* out,
                              std::vector<ConversionError>& errors);

// Whether bytes starts with the UTF-8 byte-order mark.
inline bool startsWithBom(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
}

}  // namespace velk::u2j
