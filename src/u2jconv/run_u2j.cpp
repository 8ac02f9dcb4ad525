// The u2j worker: s2j's worker with a UTF-8 input. Same files, set-up,
// failures, result codes and progress line; the conversion messages name
// code points or malformed bytes and count columns in characters.
// (The set-up mirrors runS2j's line for line; it can move into one shared
// function once both workers take typed options.)
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
#include "u2jconv/run_u2j.h"
#include "s2jconv/s2j_convert.h"
#include "s2jconv/s2j_file_buffers.h"
#include "u2jconv/u2j_stream.h"

namespace velk {

namespace {

using u2j::ConversionError;
using u2j::ErrorKind;

constexpr std::int32_t kConversionErrors = -1;
constexpr std::int32_t kInputFailed = -10;
constexpr std::int32_t kOutputFailed = -11;
constexpr std::int32_t kEmptyInput = -15;
constexpr std::int32_t kReadFailed = -20;
constexpr std::int32_t kWriteFailed = -26;
constexpr std::int32_t kNoMemory = -30;

void sayError(int optLog, const ConversionError& e) {
    const long line = static_cast<long>(e.line);
    const long column = static_cast<long>(e.column);
    const unsigned value = e.value;
    switch (e.kind) {
        case ErrorKind::Malformed: {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%0*x", 2 * e.length, value);
            say(optLog, "UTF-8 変換エラー(不正なバイト列=0x%s,行=%ld,桁=%ld)\n", hex, line, column);
            break;
        }
        case ErrorKind::NoEbcdic:
            say(optLog, "UTF-8->EBCDIC 変換エラー(U+%04X,行=%ld,桁=%ld)\n", value, line, column);
            break;
        case ErrorKind::NoJef:
            say(optLog, "UTF-8->JEF 変換エラー(U+%04X,行=%ld,桁=%ld)\n", value, line, column);
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

std::int32_t convertFile(int optLog, int optConv, int optOther, const char* utf8Path,
                         const char* jefPath) {
    FileHandle in = openInput(utf8Path);
    if (!in.isOpen()) {
        const int err = errno;
        if (err == ENOENT) {
            say(optLog, "[%s]が見つかりません\n", utf8Path);
        } else {
            say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", utf8Path, std::strerror(err));
        }
        return kInputFailed;
    }
    if (isSameFile(in.get(), jefPath)) {
        say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", jefPath,
            "入力ファイルと同じファイルです");
        return kOutputFailed;
    }
    FileHandle out = createOutput(jefPath);
    if (!out.isOpen()) {
        say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", jefPath, std::strerror(errno));
        return kOutputFailed;
    }
    const std::int64_t size = fileSize(in.get());
    if (size < 0) {
        say(optLog, "[%s]の情報取得(stat)に失敗しました\n", utf8Path);
        return kInputFailed;
    }
    if (size == 0) {
        say(optLog, "[%s]のファイルサイズが 0 です\n", utf8Path);
        return kEmptyInput;
    }

    const std::size_t block = u2j::blockSizeFor(size);
    std::vector<std::uint8_t> inBuf(block);
    std::vector<std::uint8_t> outBuf(2 * block);

    if (optConv == 9) platform::writeText(stderr, "\nJISコードは変換されずにJEFファイルに出力されます\n\n");
    ProgressState progress;
    if (optLog == 1) showProgress(progress, 0, 0);

    const u2j::Tables tables = u2j::makeTables(s2j::makeConverter(optConv, optOther));
    u2j::CarriedState state;
    ErrorReporter reporter(optLog);
    s2j::ReadAhead reader(in.get());
    s2j::WriteBehind writer(out.get());
    u2j::StreamIo io{
        [&](std::uint8_t* p, std::size_t n) { return reader.read(p, n); },
        [&](const std::uint8_t* p, std::size_t n) { return writer.write(p, n); },
        [&](std::span<const ConversionError> errors) { reporter.report(errors); },
        [&](std::int64_t done) {
            if (optLog == 1) showProgress(progress, done, size);
        },
    };
    s2j::StreamOutcome outcome =
        u2j::convertStream(tables, size, inBuf, outBuf, io, state);
    // What was converted before a failed read still reaches the file.
    if (outcome.status != s2j::StreamStatus::WriteFailed && !writer.flush())
        outcome = {s2j::StreamStatus::WriteFailed, errno};

    switch (outcome.status) {
        case s2j::StreamStatus::ReadFailed:
            say(optLog, "[%s]の読み込みに失敗しました(原因=%s)\n", utf8Path,
                std::strerror(outcome.error));
            return kReadFailed;
        case s2j::StreamStatus::WriteFailed:
            say(optLog, "(%s)の書き込みでエラーが発生しました(原因=%s)\n", jefPath,
                std::strerror(outcome.error));
            return kWriteFailed;
        case s2j::StreamStatus::Finished:
            break;
    }
    // Some file systems report a failed write only when the file is closed.
    if (!out.close()) {
        say(optLog, "(%s)の書き込みでエラーが発生しました(原因=%s)\n", jefPath,
            std::strerror(errno));
        return kWriteFailed;
    }
    if (state.chars.errorCount != 0) return kConversionErrors;
    constexpr std::int64_t maxResult = std::numeric_limits<std::int32_t>::max();
    const std::int64_t feeds = state.chars.lineFeeds;
    return static_cast<std::int32_t>(feeds < maxResult ? feeds : maxResult);
}

}  // namespace

std::int32_t runU2j(int optLog, int optConv, int optOther, const char* utf8Path,
                    const char* jefPath) {
    try {
        return convertFile(optLog, optConv, optOther, utf8Path, jefPath);
    } catch (const std::bad_alloc&) {
        say(optLog, "メモリ不足です\n");
        return kNoMemory;
    }
}

}  // namespace velk
