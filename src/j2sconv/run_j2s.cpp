#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "driver/file_io.h"
#include "driver/messages.h"
#include "driver/platform.h"
#include "driver/workers.h"
#include "j2sconv/error_log.h"
#include "j2sconv/j2s_run.h"
#include "j2sconv/pattern_file.h"
#include "j2sconv/record_convert.h"
#include "j2sconv/stream_convert.h"

namespace velk {

namespace {

using j2s::Run;

// Stands in for a pattern path when none is given; only its first ten
// characters are compared.
constexpr char kNoPatternMark[] = "_********_";
constexpr std::size_t kNoPatternMarkLength = 10;

// Closes the log stream on every way out. Standard output is only flushed:
// the driver still uses it after the run.
struct LogCloser {
    Run& run;
    ~LogCloser() {
        if (run.log == nullptr) return;
        if (run.log == stdout)
            std::fflush(stdout);
        else
            std::fclose(run.log);
        run.log = nullptr;
    }
};

// The output is truncated before the pattern file is read, so it must name
// neither the input nor the pattern file.
bool outputWouldDestroy(const Run& run, const char* sjisPath, const char* patnPath) {
    if (isSameFile(run.jefFile.get(), sjisPath)) return true;
    if (std::strncmp(patnPath, kNoPatternMark, kNoPatternMarkLength) == 0) return false;
    FileHandle pattern = openInput(patnPath);
    return pattern.isOpen() && isSameFile(pattern.get(), sjisPath);
}

std::int32_t openFiles(Run& run, const char* jefPath, const char* sjisPath,
                       const char* patnPath) {
    run.jefFile = openInput(jefPath);
    if (!run.jefFile.isOpen()) {
        const int err = errno;
        if (err == ENOENT)
            say(run.optLog, "[%s]が見つかりません\n", jefPath);
        else
            say(run.optLog, "[%s]のオープンに失敗しました(原因=%s)\n", jefPath, std::strerror(err));
        return -11;
    }
    run.jefSize = fileSize(run.jefFile.get());
    if (run.jefSize < 0) {
        say(run.optLog, "[%s]の情報取得(stat)に失敗しました\n", jefPath);
        return -11;
    }
    if (run.jefSize == 0) {
        say(run.optLog, "[%s]のファイルサイズが 0 です\n", jefPath);
        return -16;
    }
    if (outputWouldDestroy(run, sjisPath, patnPath)) {
        say(run.optLog, "[%s]のオープンに失敗しました(原因=%s)\n", sjisPath,
            "入力ファイルと同じファイルです");
        return -10;
    }
    run.sjisFile = createOutput(sjisPath);
    if (!run.sjisFile.isOpen()) {
        const int err = errno;
        say(run.optLog, "[%s]のオープンに失敗しました(原因=%s)\n", sjisPath, std::strerror(err));
        return -10;
    }
    return 0;
}

// The log is opened whatever optLog says; when it cannot be, the failure is
// always reported and the error lines go to standard output.
void openLog(Run& run, char* logPath, std::size_t logPathCapacity) {
    j2s::ErrorLogOpen opened = j2s::openErrorLog(logPath, logPathCapacity);
    if (opened.file != nullptr) {
        run.log = opened.file;
        return;
    }
    platform::printText(stdout, "[%s]のオープンに失敗しました(原因=%s)\n", logPath,
                        std::strerror(opened.error));
    run.log = stdout;
    // The driver deletes the name it holds: never let that be another run's log.
    if (opened.nameTaken && logPathCapacity > 0) logPath[0] = '\0';
}

bool allocate(Run& run, std::size_t inSize, std::size_t outSize) {
    try {
        run.inBuf.resize(inSize);
        run.outBuf.resize(outSize);
        return true;
    } catch (const std::bad_alloc&) {
        say(run.optLog, "メモリ不足です\n");
        return false;
    }
}

std::int32_t runStream(Run& run, int optConv, int recSize) {
    const std::int64_t blockLength = j2s::streamBlockLength(recSize, run.jefSize);
    run.addLineEnd = recSize != 0;
    // Output is never longer than its input, plus the line end.
    const std::size_t inSize = j2s::streamBufferSize(blockLength);
    if (!allocate(run, inSize, inSize + 2)) return -30;
    return j2s::convertStream(run, optConv, blockLength);
}

std::int32_t runPatterns(Run& run, int optConv, int recSize, int optSkip, int trimFlags,
                         const char* patnPath) {
    std::int32_t rc = j2s::readPatternFile(run, optConv, patnPath);
    if (rc != 0) return rc;
    const j2s::PatternSizes sizes = j2s::summarisePatterns(run.patterns);
    run.addLineEnd = recSize != 0;
    // Room to append further input to a record; each sign or packed run
    // adds at most one sign character; then the line end.
    const auto inSize = static_cast<std::size_t>(std::max<std::int64_t>(2 * sizes.maxSourceLength, 1));
    const auto outSize = static_cast<std::size_t>(2 * sizes.maxPatternLength + 2);
    if (!allocate(run, inSize, outSize)) return -30;
    return j2s::convertRecords(run, optConv, optSkip, trimFlags, sizes.maxSourceLength);
}

std::int32_t runConversion(int optLog, int optConv, int recSize, int optSkip, int trimFlags,
                           const char* jefPath, const char* sjisPath, const char* patnPath,
                           char* logPath, std::size_t logPathCapacity) {
    Run run;
    run.optLog = optLog;
    LogCloser logCloser{run};

    std::int32_t rc = openFiles(run, jefPath, sjisPath, patnPath);
    if (rc != 0) return rc;
    openLog(run, logPath, logPathCapacity);

    if (std::strncmp(patnPath, kNoPatternMark, kNoPatternMarkLength) == 0)
        rc = runStream(run, optConv, recSize);
    else
        rc = runPatterns(run, optConv, recSize, optSkip, trimFlags, patnPath);

    // A failed close can lose written data: that is a write failure too.
    if (!run.sjisFile.close() && rc >= -1) {
        const int err = errno;
        say(optLog, "シフトJISファイルの書き込みでエラーが発生しました(原因=%s)\n",
            std::strerror(err));
        rc = -25;
    }
    return rc;
}

}  // namespace

std::int32_t runJ2s(int optLog, int optConv, int recSize, int optSkip, int trimFlags,
                    const char* jefPath, const char* sjisPath, const char* patnPath,
                    char* logPath, std::size_t logPathCapacity) {
    try {
        return runConversion(optLog, optConv, recSize, optSkip, trimFlags, jefPath, sjisPath,
                             patnPath, logPath, logPathCapacity);
    } catch (...) {  // allocation is the only thing that throws here
        say(optLog, "メモリ不足です\n");
        return -30;
    }
}

}  // namespace velk
