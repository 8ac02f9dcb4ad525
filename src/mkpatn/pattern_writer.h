// Item list to record pattern lines. Pure: no files, no output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mkpatn/copy_item.h"

namespace velk::mkp {

// Marks every item that a later or earlier REDEFINES names with 'S' and
// every item that redefines another with 'D'; a later mark wins.
void markRedefines(std::vector<CopyItem>& items);

struct PatternLines {
    std::int32_t code = 0;  // 0, or kOutOfMemory when a line would not fit
    // One line, or two when the first left out REDEFINES alternatives;
    // each ends in '\n'.
    std::vector<std::string> lines;
};

// optCsv: 0 no separator, 1 a comma, 2 a blank after every item.
// optQuote: 1 encloses X, A and N items in double quotes.
PatternLines buildPatternLines(const std::vector<CopyItem>& items, int optCsv, int optQuote);

// Source bytes a written pattern line covers, up to its line break.
std::int64_t recordLength(std::string_view line);

}  // namespace velk::mkp
