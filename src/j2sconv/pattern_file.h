// Record pattern files, line by line: one pattern per line, each optionally
// led by a keyword prefix "position:keyword:" that picks it for matching
// records. Pure over text; run_j2s.cpp reads the file and says what fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "j2sconv/record_pattern.h"
#include "tblank/single_byte_tables.h"

namespace velk::j2s {

// Keeps every length and position of a pattern inside its 32-bit fields.
inline constexpr std::size_t kMaxLineLength = std::size_t{1} << 30;

enum class LineError { None, DigitsOnly, BadKeyword, NoPattern, BadChar, OddN, KeywordBeyond };

struct LineOutcome {
    LineError error = LineError::None;
    std::int64_t column = 0;      // BadChar: 1-based column in the whole line
    std::int64_t keywordEnd = 0;  // KeywordBeyond: last position the keyword covers
};

// The line without its line end, or an empty view for a line that holds no
// pattern (shorter than 2, or a comment).
std::string_view patternLineOf(std::string_view line);

// Parses one pattern line into p. Keywords go to EBCDIC through a2e.
LineOutcome parsePatternLine(std::string_view line, const ByteTable& a2e, RecordPattern& p);

enum class SetError { None, NoPattern, NoKeyword };

// Checks the loaded set as a whole and sets multiPattern.
SetError finishPatternSet(PatternSet& set);

struct PatternSizes {
    std::int64_t maxPatternLength = 0;
    std::int64_t maxSourceLength = 0;
};

// Largest pattern and largest source record over the set (0 when empty).
PatternSizes summarisePatterns(const PatternSet& set);

// Source bytes a pattern takes from a record, as pattern::sourceLength
// counts them with a quote inside a packed run letting it go on. This is
// the length read to choose a pattern by its keyword.
std::int64_t sourceLengthOf(std::string_view pattern);

}  // namespace velk::j2s
