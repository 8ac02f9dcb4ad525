// The j2s command's options, decoded once at the worker's entry: the loops
// below never see an option number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "j2sconv/trim_fields.h"
#include "tblank/single_byte_tables.h"
#include "tblknj/kanji_tables.h"

namespace velk::j2s {

// Stands in for the pattern path when j2s is given none; only its first
// kNoPatternMarkLength characters are compared.
inline constexpr char kNoPatternMark[] = "_********_";
inline constexpr std::size_t kNoPatternMarkLength = 10;

struct Options {
    const ByteTable* e2a = nullptr;  // EBCDIC -> ASCII/JIS8 for single bytes
    const ByteTable* a2e = nullptr;  // the same choice the other way, for pattern keywords
    bool skipShift = true;           // shift codes outside packed runs are skipped (records)
    int trimFlags = 0;               // trim* bits of trim_fields.h (records)
    bool addLineEnd = false;         // CR LF after every block or record
    std::int32_t recSize = 0;        // stream block length; 0: the file decides
    const KanjiTable* kanji = &jef2sjis;  // JEF -> Shift-JIS for pairs
    bool utf8 = false;               // j2u: the tables narrowed to CP932, output in UTF-8
};

// optConv: 1 kana, 2 lowercase, anything else ASCII. optSkip 1 keeps shift
// codes as data. trimFlags as trimFlagsFor gives them. utf8 for j2u.
Options decodeOptions(int optConv, std::int32_t recSize, int optSkip, int trimFlags,
                      bool utf8 = false);

}  // namespace velk::j2s
