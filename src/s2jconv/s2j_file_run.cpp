#include "s2jconv/s2j_file_run.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/file_io.h"
#include "platform/platform.h"
#include "platform/progress.h"
#include "s2jconv/s2j_file_buffers.h"

namespace velk::s2j {

namespace {

constexpr char kWriteFailedText[] = "(%s)の書き込みでエラーが発生しました(原因=%s)\n";

}  // namespace

std::int32_t convertFiles(int optLog, const FileJob& job, const FileLoop& loop) {
    // Data on standard output leaves it no room for messages.
    platform::setMessagesToStderr(isStdioPath(job.outPath));
    const char* const inName = inputName(job.inPath);
    const char* const outName = outputName(job.outPath);

    DataInput in = DataInput::open(job.inPath);
    if (!in.isOpen()) {
        const int err = errno;
        if (err == ENOENT) {
            say(optLog, "[%s]が見つかりません\n", inName);
        } else {
            say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", inName, std::strerror(err));
        }
        return kInputOpen;
    }
    if (!isStdioPath(job.outPath) && isSameFile(in.fd(), job.outPath)) {
        say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", job.outPath,
            "入力ファイルと同じファイルです");
        return kOutputOpen;
    }
    FileHandle out = createDataOutput(job.outPath);
    if (!out.isOpen()) {
        say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", outName, std::strerror(errno));
        return kOutputOpen;
    }
    switch (in.probe()) {
        case DataInput::Probe::Failed:
            say(optLog, "[%s]の情報取得(stat)に失敗しました\n", inName);
            return kInputOpen;
        case DataInput::Probe::Empty:
            say(optLog, "[%s]のファイルサイズが 0 です\n", inName);
            return kEmptyInput;
        case DataInput::Probe::Ready:
            break;
    }
    const std::int64_t size = in.size();  // DataInput::kStream for a stream

    const std::size_t block = job.blockSize(size);
    std::vector<std::uint8_t> inBuf(block);
    // Room to gather a large write's worth of output (see OutputGather).
    std::vector<std::uint8_t> outBuf(2 * block + kWriteBytes);

    if (job.jisPassesThrough)
        platform::writeText(stderr, "\nJISコードは変換されずにJEFファイルに出力されます\n\n");
    ProgressState progress;
    if (optLog == 1) showProgress(progress, 0, 0);

    ReadAhead reader(in);
    const FileCalls calls{
        [&](std::uint8_t* p, std::size_t n) { return reader.read(p, n); },
        [&](const std::uint8_t* p, std::size_t n) { return writeFull(out.get(), p, n); },
        [&](std::int64_t done) {
            if (optLog == 1) showProgress(progress, done, size);
        },
    };
    const StreamOutcome outcome = loop(size, inBuf, outBuf, calls);

    switch (outcome.status) {
        case StreamStatus::ReadFailed:
            say(optLog, "[%s]の読み込みに失敗しました(原因=%s)\n", inName,
                std::strerror(outcome.error));
            return kReadFailed;
        case StreamStatus::WriteFailed:
            say(optLog, kWriteFailedText, outName, std::strerror(outcome.error));
            return kWriteFailed;
        case StreamStatus::Finished:
            break;
    }
    // Some file systems report a failed write only when the file is closed.
    if (!out.close()) {
        say(optLog, kWriteFailedText, outName, std::strerror(errno));
        return kWriteFailed;
    }
    return 0;
}

std::int32_t finishedResult(const CarriedState& state) {
    if (state.errorCount != 0) return kUnmapped;
    // The result is 32-bit; a count beyond it must not turn into a failure.
    constexpr std::int64_t maxResult = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(state.lineFeeds < maxResult ? state.lineFeeds : maxResult);
}

}  // namespace velk::s2j
