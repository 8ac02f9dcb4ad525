// The block loop of one s2j run: read a block, convert it, report its
// errors, write it, show progress. The file calls come in as functions so
// that the loop runs the same over files and over test doubles.
#pragma once

#include <cerrno>
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
    // After each block is converted and its output written or held for the
    // next write: input bytes converted so far.
    std::function<void(std::int64_t)> blockWritten;
};

enum class StreamStatus { Finished, ReadFailed, WriteFailed };

struct StreamOutcome {
    StreamStatus status;
    int error;  // errno of the failed call
};

// Gathers the output of several blocks in outBuf for one large write: a
// block converts straight into next(), and the output is written once more
// than `room` bytes (what a block may write) would be left. With outBuf
// just `room` long, every block is written on its own.
class OutputGather {
public:
    using Write = std::function<bool(const std::uint8_t*, std::size_t)>;
    OutputGather(std::span<std::uint8_t> outBuf, std::size_t room, const Write& write)
        : buf_(outBuf), limit_(outBuf.size() - room), write_(write) {}
    std::uint8_t* next() { return buf_.data() + held_; }
    // Takes n bytes written at next(); false when a write failed.
    bool add(std::size_t n) {
        held_ += n;
        return held_ <= limit_ || flush();
    }
    bool flush() {
        const bool ok = held_ == 0 || write_(buf_.data(), held_);
        held_ = 0;
        if (!ok) error_ = errno;
        return ok;
    }
    StreamOutcome failed() const { return {StreamStatus::WriteFailed, error_}; }
    // After a failed read (its errno): what was converted before still
    // reaches the file, unless that write fails too.
    StreamOutcome readFailed(int readError) {
        return flush() ? StreamOutcome{StreamStatus::ReadFailed, readError} : failed();
    }

private:
    std::span<std::uint8_t> buf_;
    std::size_t limit_;
    const Write& write_;
    std::size_t held_ = 0;
    int error_ = 0;
};

// Converts the whole input. `inBuf` is the block; `outBuf` must hold at
// least twice its size, and gathers output where it holds more (see
// OutputGather). `fileSize` is the size the input had when it was opened: the
// block that reaches it is the last one, as is a short read. -1 for a
// stream: only a short read ends it.
StreamOutcome convertStream(const Converter& conv, std::int64_t fileSize,
                            std::span<std::uint8_t> inBuf, std::span<std::uint8_t> outBuf,
                            const StreamIo& io, CarriedState& state);

}  // namespace velk::s2j
