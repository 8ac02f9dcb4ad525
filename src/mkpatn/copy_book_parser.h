// Copy-book text to item list. Pure: no files, no output. The messages it
// would show are returned in order, for the caller to write under optLog.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mkpatn/copy_item.h"

namespace velk::mkp {

enum class ParseState {
    expectLevel,
    expectName,
    expectClause,
    pictureStart,
    inPicture,
    skipValue,
    inQuotes,       // inside a "literal" of a VALUE clause
    inApostrophes,  // inside a 'literal'
};

// Parses one entry text (a line without its sequence number and line break)
// into item, continuing from state. Words may be in any case. Returns 0 or
// kSyntaxError (its message appended to messages).
std::int32_t parseEntryLine(std::string_view text, CopyItem& item, ParseState& state,
                            std::vector<std::string>& messages);

struct CopyBook {
    std::int32_t code = 0;  // 0 or kSyntaxError
    std::vector<CopyItem> items;  // completed entries in copy-book order
    std::vector<std::string> messages;
};

// Reads a whole copy-book; LF and CR LF line ends alike, lines of any length
// (columns 73-80 dropped when no line is longer than 80).
CopyBook parseCopyBook(std::string_view text);

}  // namespace velk::mkp
