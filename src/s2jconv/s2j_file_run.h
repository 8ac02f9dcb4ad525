// The file side that s2j and u2j share: opening the input ("-": standard
// input) and the output ("-": standard output), checking the input, sizing
// the buffers, batching the file calls, the progress line, and the messages
// and result codes of every failure. Each worker brings its loop and its
// own conversion-error lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "platform/messages.h"
#include "s2jconv/s2j_convert.h"
#include "s2jconv/s2j_result.h"
#include "s2jconv/s2j_stream.h"

namespace velk::s2j {

// What the loop gets from the files.
struct FileCalls {
    std::function<std::int64_t(std::uint8_t*, std::size_t)> read;  // as StreamIo::read
    std::function<bool(const std::uint8_t*, std::size_t)> write;   // as StreamIo::write
    std::function<void(std::int64_t)> blockWritten;               // the progress line
};

struct FileJob {
    const char* inPath;
    const char* outPath;
    bool jisPassesThrough;                          // optConv 9: say so
    std::size_t (*blockSize)(std::int64_t inputSize);  // inputSize -1: a stream
};

// Runs the worker's loop over blocks of job.blockSize and the files.
using FileLoop = std::function<StreamOutcome(std::int64_t inputSize, std::span<std::uint8_t> in,
                                             std::span<std::uint8_t> out, const FileCalls&)>;

// Opens, checks, runs the loop, flushes and closes. Returns 0 when the loop
// finished and the output was closed, else the failure's Result (said under
// optLog). Memory running short throws std::bad_alloc.
std::int32_t convertFiles(int optLog, const FileJob& job, const FileLoop& loop);

// The result of a run whose loop finished: kUnmapped after any conversion
// error, else the line feeds counted.
std::int32_t finishedResult(const CarriedState& state);

// One line per error up to the limit, then one line saying it was passed.
template <typename Error, void (*sayError)(int optLog, const Error&)>
class ErrorReporter {
public:
    explicit ErrorReporter(int optLog) : optLog_(optLog) {}

    void report(std::span<const Error> errors) {
        if (optLog_ != 1) return;
        for (const Error& e : errors) {
            ++reported_;
            if (reported_ <= kErrorsReported) {
                sayError(optLog_, e);
            } else if (reported_ == kErrorsRecorded) {
                say(optLog_, "変換エラーが100件を超えています\n");
            }
        }
    }

private:
    int optLog_;
    std::int64_t reported_ = 0;
};

}  // namespace velk::s2j
