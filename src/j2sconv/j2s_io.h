// What the j2s loops (stream and records) share: the error record, the
// callbacks through which they reach files, log and progress, how a run
// ends, and the sizes of their buffers. The loops are pure over buffers;
// run_j2s.cpp supplies the callbacks over files, the fuzz targets and tests
// over memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace velk::j2s {

// A character without mapping, or a binary number that does not fit its
// run; the replacement is already in the output.
struct ConversionError {
    enum Kind : std::uint8_t {
        SingleByte,    // EBCDIC byte without mapping; a blank was written
        Kanji,         // JEF pair without mapping; the full-width blank was written
        LoneLeadByte,  // kanji lead byte that ends the input; a blank (stream) or full-width blank (records)
        BinaryOverflow,  // binary value with more digits than its run; '?' in every digit place
    };
    Kind kind;
    std::uint16_t code;   // the byte, or lead byte * 256 + trail byte; the run's digits
    std::size_t offset;   // of the (lead or first) byte, from the start of the block or record
};

// Hard failures, in the order a loop meets them.
enum class Failure : std::uint8_t {
    ReadFailed,
    WriteFailed,      // error: the errno of the failed write
    DataLessPattern,  // the chosen pattern takes no source byte
    BadZonedRun,
    BadPackedRun,
    BadBinaryRun,
    NoMemory,
};

struct Io {
    // Fills up to n bytes; fewer only at the end of the input; -1 on error.
    std::function<std::int64_t(std::uint8_t*, std::size_t)> read;
    // Writes all n bytes; false on error, errno set.
    std::function<bool(const std::uint8_t*, std::size_t)> write;
    // The errors of one block or record; `start` is its offset in the input.
    std::function<void(std::span<const ConversionError>, std::int64_t start)> reportErrors;
    // A hard failure, at the moment it happens (a later flush may add a
    // write failure). error is an errno, or 0.
    std::function<void(Failure, int error)> failed;
    // Input bytes converted so far, after each block or record.
    std::function<void(std::int64_t)> progress;
};

struct Outcome {
    bool failed = false;
    Failure failure = Failure::ReadFailed;  // the first, when failed
    bool unmapped = false;                  // some character had no mapping
    std::int64_t lineEnds = 0;              // CR LF pairs written
};

// Both loops read and write in chunks of this size: fewer system calls,
// still cache-sized.
inline constexpr std::size_t kIoBytes = std::size_t{1} << 18;

struct BufferSizes {
    std::size_t in = 0;
    std::size_t out = 0;
};

// The one place that sizes the loops' buffers. Stream: blocks of
// blockLength bytes from an input of inputSize bytes (-1: a stream of unknown
// length). Records: readLength source bytes and output records of up to
// recordMax bytes, line end included.
BufferSizes streamBufferSizes(std::int64_t blockLength, std::int64_t inputSize);
BufferSizes recordBufferSizes(std::size_t readLength, std::size_t recordMax);

}  // namespace velk::j2s
