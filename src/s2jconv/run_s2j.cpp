// The s2j worker: opens the files, runs the block loop, writes the messages
// and the progress line, and turns the outcome into the result code.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <vector>

#include "platform/file_io.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "platform/progress.h"
#include "s2jconv/run_s2j.h"
#include "s2jconv/s2j_convert.h"
#include "s2jconv/s2j_file_buffers.h"
#include "s2jconv/s2j_result.h"
#include "s2jconv/s2j_stream.h"
#include "shared/texts.h"

namespace velk {

namespace {

using s2j::ConversionError;
using s2j::ErrorKind;

using namespace s2j;  // result codes

constexpr char kWriteFailedText[] = "(%s)の書き込みでエラーが発生しました(原因=%s)\n";

void sayError(int optLog, const ConversionError& e) {
    const long line = static_cast<long>(e.line);
    const long column = static_cast<long>(e.column);
    const unsigned code = e.code;
    switch (e.kind) {
        case ErrorKind::SingleByte:
            say(optLog, "JIS->EBCDIC 変換エラー(JIS=0x%02x,行=%ld,桁=%ld)\n", code, line, column);
            break;
        case ErrorKind::DoubleByte:
            say(optLog, "シフトJIS->JEF 変換エラー(SJIS=0x%04x,行=%ld,桁=%ld)\n", code, line, column);
            break;
        case ErrorKind::LoneFirst:
            say(optLog, "シフトJIS->JEF 変換エラー(SJIS=0x%02x,行=%ld,桁=%ld)\n", code, line, column);
            break;
    }
}

// One line per error up to the limit, then one line saying it was passed.
class ErrorReporter {
public:
    explicit ErrorReporter(int optLog) : optLog_(optLog) {}

    void report(std::span<const ConversionError> errors) {
        if (optLog_ != 1) return;
        for (const ConversionError& e : errors) {
            ++reported_;
            if (reported_ <= s2j::kErrorsReported) {
                sayError(optLog_, e);
            } else if (reported_ == s2j::kErrorsRecorded) {
                say(optLog_, "変換エラーが100件を超えています\n");
            }
        }
    }

private:
    int optLog_;
    std::int64_t reported_ = 0;
};

std::int32_t convertFile(int optLog, const s2j::Converter& conv, bool jisPassesThrough,
                         const char* sjisPath, const char* jefPath) {
    FileHandle in = openInput(sjisPath);
    if (!in.isOpen()) {
        const int err = errno;
        if (err == ENOENT) {
            say(optLog, "[%s]が見つかりません\n", sjisPath);
        } else {
            say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", sjisPath, std::strerror(err));
        }
        return kInputOpen;
    }
    if (isSameFile(in.get(), jefPath)) {
        say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", jefPath,
            "入力ファイルと同じファイルです");
        return kOutputOpen;
    }
    FileHandle out = createOutput(jefPath);
    if (!out.isOpen()) {
        say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", jefPath, std::strerror(errno));
        return kOutputOpen;
    }
    const std::int64_t size = fileSize(in.get());
    if (size < 0) {
        say(optLog, "[%s]の情報取得(stat)に失敗しました\n", sjisPath);
        return kInputOpen;
    }
    if (size == 0) {
        say(optLog, "[%s]のファイルサイズが 0 です\n", sjisPath);
        return kEmptyInput;
    }

    const std::size_t block = s2j::blockSizeFor(size);
    std::vector<std::uint8_t> inBuf(block);
    std::vector<std::uint8_t> outBuf(2 * block);

    if (jisPassesThrough) platform::writeText(stderr, "\nJISコードは変換されずにJEFファイルに出力されます\n\n");
    ProgressState progress;
    if (optLog == 1) showProgress(progress, 0, 0);

    s2j::CarriedState state;
    ErrorReporter reporter(optLog);
    s2j::ReadAhead reader(in.get());
    s2j::WriteBehind writer(out.get());
    s2j::StreamIo io{
        [&](std::uint8_t* p, std::size_t n) { return reader.read(p, n); },
        [&](const std::uint8_t* p, std::size_t n) { return writer.write(p, n); },
        [&](std::span<const ConversionError> errors) { reporter.report(errors); },
        [&](std::int64_t done) {
            if (optLog == 1) showProgress(progress, done, size);
        },
    };
    s2j::StreamOutcome outcome = s2j::convertStream(conv, size, inBuf, outBuf, io, state);
    // What was converted before a failed read still reaches the file.
    if (outcome.status != s2j::StreamStatus::WriteFailed && !writer.flush())
        outcome = {s2j::StreamStatus::WriteFailed, errno};

    switch (outcome.status) {
        case s2j::StreamStatus::ReadFailed:
            say(optLog, "[%s]の読み込みに失敗しました(原因=%s)\n", sjisPath,
                std::strerror(outcome.error));
            return kReadFailed;
        case s2j::StreamStatus::WriteFailed:
            say(optLog, kWriteFailedText, jefPath,
                std::strerror(outcome.error));
            return kWriteFailed;
        case s2j::StreamStatus::Finished:
            break;
    }
    // Some file systems report a failed write only when the file is closed.
    if (!out.close()) {
        say(optLog, kWriteFailedText, jefPath,
            std::strerror(errno));
        return kWriteFailed;
    }
    if (state.errorCount != 0) return kUnmapped;
    // The result is 32-bit; a count beyond it must not turn into a failure.
    constexpr std::int64_t maxResult = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(state.lineFeeds < maxResult ? state.lineFeeds : maxResult);
}

}  // namespace

std::int32_t runS2j(int optLog, int optConv, int optOther, const char* sjisPath,
                    const char* jefPath) {
    try {
        // The options, decoded once: optConv 9 passes JIS bytes through unchanged.
        const s2j::Converter conv = s2j::makeConverter(optConv, optOther);
        return convertFile(optLog, conv, optConv == 9, sjisPath, jefPath);
    } catch (const std::bad_alloc&) {
        say(optLog, texts::kNoMemory);
        return kNoMemory;
    }
}

}  // namespace velk
