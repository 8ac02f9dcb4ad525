// The j2s worker: decodes the options, opens the files, runs the stream or
// the record loop over them, and writes every message, the error log and
// the progress line. The only j2s file that touches files or the terminal.
#include "j2sconv/run_j2s.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "j2sconv/code_tables.h"
#include "j2sconv/j2s_io.h"
#include "j2sconv/j2s_result.h"
#include "j2sconv/pattern_file.h"
#include "j2sconv/record_convert.h"
#include "j2sconv/stream_convert.h"
#include "j2sconv/utf8_output.h"
#include "platform/error_log.h"
#include "platform/file_io.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "platform/progress.h"
#include "shared/texts.h"

namespace velk::j2s {

namespace {

bool isNoPattern(const char* patnPath) {
    return std::strncmp(patnPath, kNoPatternMark, kNoPatternMarkLength) == 0;
}

struct Files {
    DataInput jef;                 // input ("-": standard input)
    FileHandle sjis;               // output ("-": standard output)
    std::FILE* log = nullptr;      // conversion-error lines: the log file, or the message stream
    bool logIsFile = false;
    std::int64_t jefSize = 0;      // DataInput::kStream for a stream

    // Closes the log stream on every way out. The message stream is only
    // flushed: the driver still uses it after the run.
    ~Files() {
        if (log == nullptr) return;
        if (logIsFile)
            std::fclose(log);
        else
            std::fflush(log);
    }
};

// The output is truncated before the pattern file is read, so it must name
// neither the input nor the pattern file.
bool outputWouldDestroy(const Files& files, const char* sjisPath, const char* patnPath) {
    if (isStdioPath(sjisPath)) return false;  // nothing is truncated
    if (isSameFile(files.jef.fd(), sjisPath)) return true;
    if (isNoPattern(patnPath)) return false;
    FileHandle pattern = openInput(patnPath);
    return pattern.isOpen() && isSameFile(pattern.get(), sjisPath);
}

std::int32_t openFiles(int optLog, Files& files, const char* jefPath, const char* sjisPath,
                       const char* patnPath) {
    const char* const inName = inputName(jefPath);
    files.jef = DataInput::open(jefPath);
    if (!files.jef.isOpen()) {
        const int err = errno;
        if (err == ENOENT)
            say(optLog, "[%s]が見つかりません\n", inName);
        else
            say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", inName, std::strerror(err));
        return kInputOpen;
    }
    switch (files.jef.probe()) {
        case DataInput::Probe::Failed:
            say(optLog, "[%s]の情報取得(stat)に失敗しました\n", inName);
            return kInputOpen;
        case DataInput::Probe::Empty:
            say(optLog, "[%s]のファイルサイズが 0 です\n", inName);
            return kEmptyInput;
        case DataInput::Probe::Ready:
            break;
    }
    files.jefSize = files.jef.size();
    if (outputWouldDestroy(files, sjisPath, patnPath)) {
        say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", sjisPath,
            "入力ファイルと同じファイルです");
        return kOutputOpen;
    }
    files.sjis = createDataOutput(sjisPath);
    if (!files.sjis.isOpen()) {
        const int err = errno;
        say(optLog, "[%s]のオープンに失敗しました(原因=%s)\n", outputName(sjisPath),
            std::strerror(err));
        return kOutputOpen;
    }
    return 0;
}

// The log is opened whatever optLog says; when it cannot be, the failure is
// always reported and the error lines go where the messages go.
void openLog(Files& files, char* logPath, std::size_t logPathCapacity) {
    platform::ErrorLogOpen opened = platform::openErrorLog(logPath, logPathCapacity);
    if (opened.file != nullptr) {
        files.log = opened.file;
        files.logIsFile = true;
        return;
    }
    files.log = platform::messageStream();
    platform::printText(files.log, "[%s]のオープンに失敗しました(原因=%s)\n", logPath,
                        std::strerror(opened.error));
    // The driver deletes the name it holds: never let that be another run's log.
    if (opened.nameTaken && logPathCapacity > 0) logPath[0] = '\0';
}

void logErrors(std::FILE* log, std::span<const ConversionError> errors, std::int64_t start) {
    for (const ConversionError& e : errors) {
        const long at = static_cast<long>(start + static_cast<std::int64_t>(e.offset) + 1);
        const auto code = static_cast<unsigned>(e.code);
        switch (e.kind) {
            case ConversionError::SingleByte:
                platform::printText(log, "EBCDIC->JIS 変換エラー(EBCDIC=0x%02x/%ldバイト目)\n",
                                    code, at);
                break;
            case ConversionError::Kanji:
                platform::printText(log, "JEF->シフトJIS 変換エラー(JEF=0x%04x/%ldバイト目)\n",
                                    code, at);
                break;
            case ConversionError::LoneLeadByte:
                platform::printText(log, "JEF->シフトJIS 変換エラー(JEF=0x%02x/%ldバイト目)\n",
                                    code, at);
                break;
            case ConversionError::BinaryOverflow:
                platform::printText(log, "BINARY 変換エラー(%u桁を超える値/%ldバイト目)\n", code, at);
                break;
        }
    }
}

const char* writeFailedText(const Options& options) {
    return options.utf8 ? texts::kUtf8WriteFailed : texts::kSjisWriteFailed;
}

void sayFailure(int optLog, const Options& options, Failure failure, int error) {
    switch (failure) {
        case Failure::ReadFailed:
            say(optLog, "JEFファイルの読み込みに失敗しました\n");
            break;
        case Failure::WriteFailed:
            say(optLog, writeFailedText(options), std::strerror(error));
            break;
        case Failure::DataLessPattern:
            say(optLog, "データの桁がないレコードパターンでは変換できません\n");
            break;
        case Failure::BadZonedRun:
            say(optLog, "レコードパターンのサイン付き数字の指定に誤りがあります\n");
            break;
        case Failure::BadPackedRun:
            say(optLog, "レコードパターンの COMP-3 数字の指定に誤りがあります\n");
            break;
        case Failure::BadBinaryRun:
            say(optLog, "レコードパターンの BINARY 数字の指定に誤りがあります\n");
            break;
        case Failure::NoMemory:
            say(optLog, texts::kNoMemory);
            break;
    }
}

std::int32_t resultOf(const Outcome& outcome) {
    if (outcome.failed) {
        switch (outcome.failure) {
            case Failure::ReadFailed: return kReadFailed;
            case Failure::WriteFailed: return kWriteFailed;
            case Failure::NoMemory: return kNoMemory;
            case Failure::DataLessPattern:
            case Failure::BadZonedRun:
            case Failure::BadPackedRun:
            case Failure::BadBinaryRun: return kBadPattern;
        }
    }
    if (outcome.unmapped) return kUnmapped;
    // A count beyond the result's range still reports success.
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(outcome.lineEnds, std::numeric_limits<std::int32_t>::max()));
}

// The loops' callbacks over the run's files, log and progress line.
struct FileIo {
    int optLog;
    Files& files;
    ProgressState progress;
    Io io;
    std::vector<std::uint8_t> utf8;  // j2u: the UTF-8 form of each chunk written

    // utf8Stage: j2u's record loop writes Shift-JIS (trimming works on it),
    // turned into UTF-8 on the way out; its stream loop writes UTF-8 itself.
    FileIo(int optLog_, Files& files_, const Options& options, bool utf8Stage)
        : optLog(optLog_), files(files_) {
        io.read = [this](std::uint8_t* p, std::size_t n) { return files.jef.read(p, n); };
        io.write = [this](const std::uint8_t* p, std::size_t n) {
            return writeFull(files.sjis.get(), p, n);
        };
        io.reportErrors = [this](std::span<const ConversionError> errors, std::int64_t start) {
            if (optLog == 1) logErrors(files.log ? files.log : platform::messageStream(), errors, start);
        };
        io.failed = [this, &options](Failure f, int error) { sayFailure(optLog, options, f, error); };
        io.progress = [this](std::int64_t done) {
            if (optLog == 1) showProgress(progress, done, files.jefSize);
        };
        if (utf8Stage) io = utf8Io(io, utf8);
    }
    FileIo(const FileIo&) = delete;

    void startProgress() {
        if (optLog == 1) showProgress(progress, 0, 0);
    }
};

struct Buffers {
    std::vector<std::uint8_t> in, out;
};

bool allocate(int optLog, Buffers& buffers, BufferSizes sizes) {
    try {
        buffers.in.resize(sizes.in);
        buffers.out.resize(sizes.out);
        return true;
    } catch (const std::bad_alloc&) {
        say(optLog, texts::kNoMemory);
        return false;
    }
}

std::int32_t runStream(int optLog, const Options& options, const CodeTables& tables, Files& files) {
    StreamJob job;
    job.blockLength = streamBlockLength(options.recSize, files.jefSize);
    job.inputSize = files.jefSize;
    job.addLineEnd = options.addLineEnd;
    Buffers buffers;
    if (!allocate(optLog, buffers, streamBufferSizes(job.blockLength, files.jefSize)))
        return kNoMemory;
    FileIo fileIo(optLog, files, options, false);
    fileIo.startProgress();
    return resultOf(convertStream(tables, job, buffers.in, buffers.out, fileIo.io));
}

std::int32_t runRecords(int optLog, const Options& options, const CodeTables& tables, Files& files,
                        const char* patnPath) {
    PatternSet patterns;
    const std::int32_t rc = loadPatternFile(optLog, options, patnPath, patterns);
    if (rc != 0) return rc;
    const RecordPlan plan = planRecords(patterns);
    Buffers buffers;
    if (!allocate(optLog, buffers, recordBufferSizes(plan.readLength, plan.recordMax)))
        return kNoMemory;
    const RecordJob job{options.trimFlags, options.addLineEnd};
    FileIo fileIo(optLog, files, options, options.utf8);
    fileIo.startProgress();
    return resultOf(convertRecords(plan, tables, job, buffers.in, buffers.out, fileIo.io));
}

std::int32_t runConversion(int optLog, const Options& options, const char* jefPath,
                           const char* sjisPath, const char* patnPath, char* logPath,
                           std::size_t logPathCapacity) {
    Files files;
    std::int32_t rc = openFiles(optLog, files, jefPath, sjisPath, patnPath);
    if (rc != 0) return rc;
    openLog(files, logPath, logPathCapacity);

    const CodeTables tables = makeCodeTables(options);
    if (isNoPattern(patnPath))
        rc = runStream(optLog, options, tables, files);
    else
        rc = runRecords(optLog, options, tables, files, patnPath);

    // A failed close can lose written data: that is a write failure too.
    if (!files.sjis.close() && rc >= kUnmapped) {
        say(optLog, writeFailedText(options), std::strerror(errno));
        rc = kWriteFailed;
    }
    return rc;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct LineBuffer {
    char* data = nullptr;
    std::size_t capacity = 0;
    ~LineBuffer() { std::free(data); }
};

std::int32_t sayLineError(int optLog, const LineOutcome& o, const RecordPattern& p) {
    switch (o.error) {
        case LineError::DigitsOnly:
            say(optLog, "レコードパターンの内容が数字のみです\n");
            break;
        case LineError::BadKeyword:
            say(optLog, "レコードパターンのキーワード指定に誤りがあります\n");
            break;
        case LineError::NoPattern:
            say(optLog, "レコードパターンが指定されていません\n");
            break;
        case LineError::BadChar:
            say(optLog, "レコードパターンに認識できない文字が使われています(桁位置=%ld)\n",
                static_cast<long>(o.column));
            break;
        case LineError::OddN:
            say(optLog, "レコードパターンの[N]の文字数が 2 の倍数ではありません\n");
            break;
        case LineError::KeywordBeyond:
            say(optLog,
                "レコードパターンの長さとキーワードの指定に矛盾があります"
                "(パターン長=%ld/キーワード位置+キーワード長=%ld)\n",
                static_cast<long>(p.length), static_cast<long>(o.keywordEnd));
            break;
        case LineError::None:
            return 0;
    }
    return kBadPattern;
}

std::int32_t loadPatterns(int optLog, const Options& options, const char* path,
                          PatternSet& set) {
    set.patterns.clear();
    set.multiPattern = false;

    FileHandle fd = openInput(path);  // refuses a directory, unlike fopen
    if (!fd.isOpen()) {
        say(optLog, "[%s]のオープンに失敗しました\n", path);
        return kPatternOpen;
    }
    std::int64_t size = fileSize(fd.get());
    if (size < 0) {
        say(optLog, "[%s]の情報取得(stat)に失敗しました\n", path);
        return kPatternOpen;
    }
    if (size == 0) {
        say(optLog, "[%s]のファイルサイズが 0 です\n", path);
        return kEmptyPattern;
    }
    std::unique_ptr<std::FILE, FileCloser> file(fdopen(fd.get(), "r"));
    if (!file) {
        say(optLog, "[%s]のオープンに失敗しました\n", path);
        return kPatternOpen;
    }
    fd.release();

    LineBuffer buf;
    for (;;) {
        errno = 0;
        ssize_t got = getline(&buf.data, &buf.capacity, file.get());
        if (got < 0) {
            if (errno == ENOMEM) {
                say(optLog, texts::kNoMemory);
                return kNoMemory;
            }
            if (std::ferror(file.get())) {
                say(optLog, "[%s]のオープンに失敗しました\n", path);
                return kPatternOpen;
            }
            break;
        }
        const std::string_view line =
            patternLineOf(std::string_view(buf.data, static_cast<std::size_t>(got)));
        if (line.empty()) continue;
        if (line.size() > kMaxLineLength) {
            say(optLog, texts::kNoMemory);
            return kNoMemory;
        }
        RecordPattern pattern;
        const LineOutcome outcome = parsePatternLine(line, *options.a2e, pattern);
        if (outcome.error != LineError::None) return sayLineError(optLog, outcome, pattern);
        set.patterns.push_back(std::move(pattern));
    }

    switch (finishPatternSet(set)) {
        case SetError::NoPattern:
            say(optLog, "[%s]のファイルに有効なレコードパターンがありません\n", path);
            return kEmptyPattern;
        case SetError::NoKeyword:
            say(optLog, "レコードパターンが複数指定されていますがキーワードが指定されていません\n");
            return kBadPattern;
        case SetError::None:
            break;
    }
    return 0;
}

}  // namespace

std::int32_t loadPatternFile(int optLog, const Options& options, const char* path,
                             PatternSet& set) {
    try {
        return loadPatterns(optLog, options, path, set);
    } catch (const std::bad_alloc&) {
        say(optLog, texts::kNoMemory);
        return kNoMemory;
    }
}

}  // namespace velk::j2s

namespace velk {

namespace {

std::int32_t runJ2sOrJ2u(bool utf8, int optLog, int optConv, int recSize, int optSkip,
                         int trimFlags, const char* jefPath, const char* outPath,
                         const char* patnPath, char* logPath, std::size_t logPathCapacity) {
    // Data on standard output leaves it no room for messages.
    platform::setMessagesToStderr(isStdioPath(outPath));
    try {
        const j2s::Options options =
            j2s::decodeOptions(optConv, recSize, optSkip, trimFlags, utf8);
        return j2s::runConversion(optLog, options, jefPath, outPath, patnPath, logPath,
                                  logPathCapacity);
    } catch (...) {  // allocation is the only thing that throws here
        say(optLog, texts::kNoMemory);
        return j2s::kNoMemory;
    }
}

}  // namespace

std::int32_t runJ2s(int optLog, int optConv, int recSize, int optSkip, int trimFlags,
                    const char* jefPath, const char* sjisPath, const char* patnPath,
                    char* logPath, std::size_t logPathCapacity) {
    return runJ2sOrJ2u(false, optLog, optConv, recSize, optSkip, trimFlags, jefPath, sjisPath,
                       patnPath, logPath, logPathCapacity);
}

std::int32_t runJ2u(int optLog, int optConv, int recSize, int optSkip, int trimFlags,
                    const char* jefPath, const char* utf8Path, const char* patnPath,
                    char* logPath, std::size_t logPathCapacity) {
    return runJ2sOrJ2u(true, optLog, optConv, recSize, optSkip, trimFlags, jefPath, utf8Path,
                       patnPath, logPath, logPathCapacity);
}

}  // namespace velk
