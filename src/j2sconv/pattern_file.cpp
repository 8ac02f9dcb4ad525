#include "j2sconv/pattern_file.h"

#include <algorithm>
#include <limits>
#include <string>

#include "shared/pattern_format.h"

namespace velk::j2s {

namespace {

// Position digits and keywords beyond this are not a prefix anyone writes.
constexpr std::size_t kMaxPrefixField = 255;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// Parses one pattern line (line end removed, length 2 or more, not a comment).
LineOutcome parsePatternLine(std::string_view line, const ByteTable& a2e, RecordPattern& p) {
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
        } else if (pattern::isPatternChar(c)) {
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

std::string_view patternLineOf(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() < 2 || line[0] == '#') return {};
    return line;
}

SetError finishPatternSet(PatternSet& set) {
    set.multiPattern = false;
    if (set.patterns.empty()) return SetError::NoPattern;
    if (set.patterns.size() > 1) {
        for (const RecordPattern& p : set.patterns)
            if (p.keywordPos == 0 || p.keywordLen == 0 || !p.hasKeyword) return SetError::NoKeyword;
        set.multiPattern = true;
    }
    return SetError::None;
}

std::int64_t sourceLengthOf(std::string_view text) {
    return pattern::sourceLength(text, pattern::QuoteInPackedRun::Continues);
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
