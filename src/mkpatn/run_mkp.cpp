// The mkp worker: the file layer around the copy-book parser and the
// pattern writer.
#include <sys/stat.h>

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "mkpatn/copy_book_parser.h"
#include "mkpatn/pattern_writer.h"
#include "mkpatn/run_mkp.h"
#include "platform/file_io.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "shared/texts.h"

namespace velk {

namespace {

using namespace mkp;


// Reads the whole copy-book; false when it cannot be opened or read.
bool readCopyBook(const char* copyPath, std::string& text) {
    FileHandle file = openInput(copyPath);
    if (!file.isOpen()) return false;
    constexpr std::size_t kChunk = 64 * 1024;
    for (;;) {
        const std::size_t used = text.size();
        text.resize(used + kChunk);
        const std::int64_t got = readFull(file.get(), text.data() + used, kChunk);
        if (got < 0) return false;
        text.resize(used + static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) < kChunk) return true;
    }
}

std::int32_t writePatternFile(int optLog, const char* ptnPath,
                              const std::vector<std::string>& lines) {
    FileHandle file = createOutput(ptnPath);
    if (!file.isOpen()) {
        say(optLog, "%sがオープンできません\n", ptnPath);
        return kPatternFileError;
    }
    for (const std::string& line : lines) {
        if (!writeFull(file.get(), line.data(), line.size())) {
            say(optLog, "%sの出力に失敗しました\n", ptnPath);
            return kPatternWriteError;
        }
    }
    // A failing close can mean the lines never reached the disk.
    if (!file.close()) {
        say(optLog, "%sの出力に失敗しました\n", ptnPath);
        return kPatternWriteError;
    }
    return 0;
}

std::int32_t makePattern(int optLog, int optCsv, int optQuote, const char* copyPath,
                         const char* ptnPath) {
    struct stat info {};
    if (::stat(copyPath, &info) != 0) {
        say(optLog, "[%s]が見つかりません\n", copyPath);
        return kCopyBookMissing;
    }
    if (info.st_size == 0) {
        say(optLog, "[%s]のファイルサイズが 0 です\n", copyPath);
        return kCopyBookEmpty;
    }

    std::string text;
    if (!readCopyBook(copyPath, text)) {
        say(optLog, "%sがオープンできません\n", copyPath);
        return kCopyBookMissing;
    }
    CopyBook book = parseCopyBook(text);
    if (optLog == 1) {
        for (const std::string& message : book.messages) platform::writeText(stdout, message);
    }
    if (book.code != 0) return book.code;

    const PatternLines pattern = buildPatternLines(book.items, optCsv, optQuote);
    if (pattern.code != 0) {
        say(optLog, texts::kNoMemory);
        return pattern.code;
    }
    // Writing over the copy-book itself would lose it.
    if (FileHandle copy = openInput(copyPath); copy.isOpen() && isSameFile(copy.get(), ptnPath)) {
        say(optLog, "%sがオープンできません\n", ptnPath);
        return kPatternFileError;
    }
    if (const std::int32_t written = writePatternFile(optLog, ptnPath, pattern.lines);
        written != 0) {
        return written;
    }
    return static_cast<std::int32_t>(longestRecord(pattern.lines));
}

}  // namespace

std::int32_t runMkp(int optLog, int optCsv, int optQuote, const char* copyPath,
                    const char* ptnPath) {
    try {
        return makePattern(optLog, optCsv, optQuote, copyPath, ptnPath);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    say(optLog, texts::kNoMemory);
    return kOutOfMemory;
}

}  // namespace velk
