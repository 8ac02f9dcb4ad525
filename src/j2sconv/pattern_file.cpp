#include "j2sconv/pattern_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "driver/file_io.h"
#include "driver/messages.h"
#include "tblank/single_byte_tables.h"

namespace velk::j2s {

namespace {

// Position digits and keywords beyond this are not a prefix anyone writes.
constexpr std::size_t kMaxPrefixField = 255;
// Keeps every length and position of a pattern inside its 32-bit fields.
constexpr std::size_t kMaxLineLength = std::size_t{1} << 30;

enum class LineError { None, DigitsOnly, BadKeyword, NoPattern, BadChar, OddN, KeywordBeyond };

struct LineOutcome {
    LineError error = LineError::None;
    std::int64_t column = 0;      // BadChar: 1-based column in the whole line
    std::int64_t keywordEnd = 0;  // KeywordBeyond: last position the keyword covers
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isPatternChar(char c) {
    switch (c) {
        case 'X': case 'S': case 'A': case '9': case ',': case ' ':
        case '.': case 'C': case 'P': case '"':
            return true;
        default:
            return false;
    }
}

// Parses one pattern line (line end removed, length 2 or more, not a comment).
LineOutcome parseLine(std::string_view line, const ByteTable& a2e, RecordPattern& p) {
    std::size_t digits = 0;
    while (digits < line.size() && isDigit(line[digits])) ++digits;
    if (digits == line.size()) return {LineError::DigitsOnly};

    std::size_t start = 0;
    if (digits > 0 && line[digits] == ':') {
        if (digits > kMaxPrefixField) return {LineError::BadKeyword};
        std::int64_t pos = 0;
        for (std::size_t i = 0; i < digits; ++i)  // saturate: any such position fails later
            pos = std::min<std::int64_t>(pos * 10 + (line[i] - '0'),
                                         std::numeric_limits<std::int32_t>::max());
        std::size_t kwStart = digits + 1;
        std::size_t close = line.find(':', kwStart);
        if (close == std::string_view::npos || close - kwStart > kMaxPrefixField)
            return {LineError::BadKeyword};
        p.keywordPos = static_cast<std::int32_t>(pos);
        p.hasKeyword = true;
        p.keyword.clear();
        for (std::size_t i = kwStart; i < close; ++i) {
            std::uint8_t e = a2e[static_cast<std::uint8_t>(line[i])];
            if (e == 0) break;  // no EBCDIC equivalent: the keyword ends here
            p.keyword.push_back(static_cast<char>(e));
        }
        p.keywordLen = static_cast<std::int32_t>(p.keyword.size());
        start = close + 1;
    }
    if (start == line.size()) return {LineError::NoPattern};

    p.text.assign(line.substr(start));
    std::int64_t nRun = 0;
    for (std::size_t i = 0; i < p.text.size(); ++i) {
        char& c = p.text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c == 'N') {
            ++nRun;
        } else if (isPatternChar(c)) {
            if (nRun % 2 != 0) return {LineError::OddN};
            nRun = 0;
        } else {
            return {LineError::BadChar, static_cast<std::int64_t>(start + i) + 1};
        }
    }
    if (nRun % 2 != 0) return {LineError::OddN};

    p.length = static_cast<std::int32_t>(p.text.size());
    std::int64_t keywordEnd = std::int64_t{p.keywordPos} + p.keywordLen - 1;
    if (keywordEnd > p.length) return {LineError::KeywordBeyond, 0, keywordEnd};
    p.sourceLength = static_cast<std::int32_t>(sourceLengthOf(p.text));
    return {};
}

std::int32_t reportLineError(int optLog, const LineOutcome& o, const RecordPattern& p) {
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
    return -2;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct LineBuffer {
    char* data = nullptr;
    std::size_t capacity = 0;
    ~LineBuffer() { std::free(data); }
};

std::int32_t readPatterns(Run& run, int optConv, const char* path) {
    const int optLog = run.optLog;
    PatternSet& set = run.patterns;
    set.patterns.clear();
    set.multiPattern = false;

    FileHandle fd = openInput(path);  // refuses a directory, unlike fopen
    if (!fd.isOpen()) {
        say(optLog, "[%s]のオープンに失敗しました\n", path);
        return -12;
    }
    std::int64_t size = fileSize(fd.get());
    if (size < 0) {
        say(optLog, "[%s]の情報取得(stat)に失敗しました\n", path);
        return -12;
    }
    if (size == 0) {
        say(optLog, "[%s]のファイルサイズが 0 です\n", path);
        return -17;
    }
    std::unique_ptr<std::FILE, FileCloser> file(fdopen(fd.get(), "r"));
    if (!file) {
        say(optLog, "[%s]のオープンに失敗しました\n", path);
        return -12;
    }
    fd.release();

    const ByteTable& a2e = a2eTableFor(optConv);
    LineBuffer buf;
    for (;;) {
        errno = 0;
        ssize_t got = getline(&buf.data, &buf.capacity, file.get());
        if (got < 0) {
            if (errno == ENOMEM) {
                say(optLog, "メモリ不足です\n");
                return -30;
            }
            if (std::ferror(file.get())) {
                say(optLog, "[%s]のオープンに失敗しました\n", path);
                return -12;
            }
            break;
        }
        std::string_view line(buf.data, static_cast<std::size_t>(got));
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.size() < 2 || line[0] == '#') continue;
        if (line.size() > kMaxLineLength) {
            say(optLog, "メモリ不足です\n");
            return -30;
        }
        RecordPattern pattern;
        LineOutcome outcome = parseLine(line, a2e, pattern);
        if (outcome.error != LineError::None) return reportLineError(optLog, outcome, pattern);
        set.patterns.push_back(std::move(pattern));
    }

    if (set.patterns.empty()) {
        say(optLog, "[%s]のファイルに有効なレコードパターンがありません\n", path);
        return -17;
    }
    if (set.patterns.size() > 1) {
        for (const RecordPattern& p : set.patterns) {
            if (p.keywordPos == 0 || p.keywordLen == 0 || !p.hasKeyword) {
                say(optLog, "レコードパターンが複数指定されていますがキーワードが指定されていません\n");
                return -2;
            }
        }
        set.multiPattern = true;
    }
    return 0;
}

}  // namespace

std::int64_t sourceLengthOf(std::string_view pattern) {
    std::int64_t total = 0;
    std::int64_t run = 0;
    char previous = '\0';
    auto closeRun = [&] {
        if (run > 0) total += run / 2 + 1;
        run = 0;
    };
    for (char c : pattern) {
        switch (c) {
            case 'N': case 'X': case 'A': case '9': case 'S':
                closeRun();
                ++total;
                previous = c;
                break;
            case 'C': case 'P':
                if (c == previous) {
                    ++run;
                } else {
                    closeRun();
                    run = 1;
                }
                previous = c;
                break;
            case ',': case ' ':
                closeRun();
                previous = c;
                break;
            default:  // '.' and '"' neither end a packed run nor start anything
                break;
        }
    }
    closeRun();
    return total;
}

std::int32_t readPatternFile(Run& run, int optConv, const char* path) {
    try {
        return readPatterns(run, optConv, path);
    } catch (const std::bad_alloc&) {
        say(run.optLog, "メモリ不足です\n");
        return -30;
    }
}

PatternSizes summarisePatterns(const PatternSet& set) {
    PatternSizes sizes;
    for (const RecordPattern& p : set.patterns) {
        sizes.maxPatternLength = std::max<std::int64_t>(sizes.maxPatternLength, p.length);
        sizes.maxSourceLength = std::max<std::int64_t>(sizes.maxSourceLength, p.sourceLength);
    }
    return sizes;
}

}  // namespace velk::j2s
