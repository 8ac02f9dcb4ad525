// The block loop of one s2j run: read a block, convert it, report its
// errors, write it, show progress. The file calls come in as functions so
// that the loop runs the same over files and over test doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "s2jconv/s2j_convert.h"
#include "shared/jef_codes.h"

namespace velk::s2j {

// Up to this size a file is read in one block; larger files in kBlockSize.
inline constexpr std::int64_t kWholeFileLimit = jef::kWholeFileLimit;
inline constexpr std::int64_t kBlockSize = jef::kLargeFileBlock;

// Input block size for a file of `fileSize` bytes (-1: a stream, as for a
// large file). Never below 2, so that a kanji always fits into a block with
// its first byte carried over.
std::size_t blockSizeFor(std::int64_t fileSize);

struct StreamIo {
    // Fills up to n bytes; fewer only at the end of the input; -1 on error.
    std::function<std::int64_t(std::uint8_t*, std::size_t)> read;
    // Writes all n bytes; false on error.
    std::function<bool(const std::uint8_t*, std::size_t)> write;
    // The recorded errors of one block, before it is written.
    std::function<void(std::span<const ConversionError>)> reportErrors;
    // After each block is written: input bytes converted so far.
    std::function<void(std::int64_t)> blockWritten;
};

enum class StreamStatus { Finished, ReadFailed, WriteFailed };

struct StreamOutcome {
    StreamStatus status;
    int error;  // errno of the failed call
};

// Converts the whole input. `inBuf` is the block; `outBuf` must hold twice
// its size. `fileSize` is the size the input had when it was opened: the
// block that reaches it is the last one, as is a short read. -1 for a
// stream: only a short read ends it.
StreamOutcome convertStream(const Converter& conv, std::int64_t fileSize,
                            std::span<std::uint8_t> inBuf, std::span<std::uint8_t> outBuf,
                            const StreamIo& io, CarriedState& state);

}  // namespace velk::s2j
