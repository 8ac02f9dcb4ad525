// The block loop of one u2j run: read a block of UTF-8, convert it, report
// its errors, write it, show progress. Like s2j's, over functions for the
// file calls, so that it runs the same over files and test doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "s2jconv/s2j_stream.h"
#include "u2jconv/u2j_convert.h"

namespace velk::u2j {

struct StreamIo {
    std::function<std::int64_t(std::uint8_t*, std::size_t)> read;
    std::function<bool(const std::uint8_t*, std::size_t)> write;
    std::function<void(std::span<const ConversionError>)> reportErrors;
    std::function<void(std::int64_t)> blockWritten;
};

struct CarriedState {
    s2j::CarriedState chars;  // s2j's state, counted in characters
    bool started = false;     // past the place where a byte-order mark may stand
};

// Input block size for a file: that of s2j, but with room for a whole
// sequence beside the three bytes of a cut one that are carried over.
std::size_t blockSizeFor(std::int64_t fileSize);

// Converts the whole input. `outBuf` must hold twice the size of `inBuf`,
// and gathers output where it holds more (s2j::OutputGather). `fileSize` as
// for s2j::convertStream (-1: a stream).
s2j::StreamOutcome convertStream(const Tables& t, std::int64_t fileSize,
                                 std::span<std::uint8_t> inBuf, std::span<std::uint8_t> outBuf,
                                 const StreamIo& io, CarriedState& state);

}  // namespace velk::u2j
