// The block loop of one u2j run: read a block of UTF-8, decode it to
// Shift-JIS, convert that with the s2j block conversion, report its errors
// in terms of the UTF-8 input, write it, show progress.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "s2jconv/s2j_convert.h"
#include "s2jconv/s2j_stream.h"

namespace velk::u2j {

enum class ErrorKind : std::uint8_t {
    Malformed,  // value: the bytes, length: their count
    NoEbcdic,   // a single-byte character the chosen table does not map; value: code point
    NoJef,      // no Shift-JIS form, or no JEF code for it; value: code point
};

struct ConversionError {
    ErrorKind kind;
    std::uint8_t length;
    std::uint32_t value;
    std::int64_t line;    // 1-based
    std::int64_t column;  // 1-based, in characters of the UTF-8 input
};

struct StreamIo {
    std::function<std::int64_t(std::uint8_t*, std::size_t)> read;
    std::function<bool(const std::uint8_t*, std::size_t)> write;
    std::function<void(std::span<const ConversionError>)> reportErrors;
    std::function<void(std::int64_t)> blockWritten;
};

struct CarriedState {
    s2j::CarriedState sjis;    // the s2j side, over the decoded Shift-JIS
    std::int64_t column = 0;   // characters of the current line before the next block
    bool started = false;      // past the place where a byte-order mark may stand
};

// Input block size for a file: that of s2j, but room for a whole sequence
// beside the three bytes a cut one carries over.
std::size_t blockSizeFor(std::int64_t fileSize);

// Converts the whole input. `inBuf` is the block; `midBuf` must be as large,
// `outBuf` twice as large.
s2j::StreamOutcome convertStream(const s2j::Converter& conv, std::int64_t fileSize,
                                 std::span<std::uint8_t> inBuf, std::span<std::uint8_t> midBuf,
                                 std::span<std::uint8_t> outBuf, const StreamIo& io,
                                 CarriedState& state);

}  // namespace velk::u2j
