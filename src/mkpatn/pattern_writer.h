// Item list to record pattern lines. Pure: no files, no output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mkpatn/copy_item.h"

namespace velk::mkp {

struct PatternLines {
    std::int32_t code = 0;  // 0, or kOutOfMemory when a line would not fit
    // For each level-01 record in turn, one line per layout: one when
    // nothing is redefined, else as many as the most alternatives any
    // redefined item has (the item and each item redefining it). Each ends
    // in '\n'; a copy-book without elementary items gives a bare '\n'.
    std::vector<std::string> lines;
};

// optCsv: 0 no separator, 1 a comma, 2 a blank after every item.
// optQuote: 1 encloses X, A and N items in double quotes.
PatternLines buildPatternLines(const std::vector<CopyItem>& items, int optCsv, int optQuote);

// Source bytes a written pattern line covers, up to its line break.
std::int64_t recordLength(std::string_view line);

// The mkp result: the length of the longest of the lines.
std::int64_t longestRecord(const std::vector<std::string>& lines);

}  // namespace velk::mkp
