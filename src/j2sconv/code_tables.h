// The code tables of one j2s run, arranged for the loops: made once from
// the decoded options and shared by the stream loop, the record walk and
// the fast paths under them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "j2sconv/code_marks.h"
#include "j2sconv/j2s_options.h"
#include "simd/jis_shortcut.h"
#include "simd/level.h"
#include "tblknj/kanji_tables.h"

namespace velk::j2s {

struct CodeTables {
    // EBCDIC byte -> output byte, or marker bits (code_marks.h) above a low
    // byte: kMarkUnmapped over the substitute blank for a byte without
    // mapping; kMarkKanjiIn or kMarkKanjiOut over what a shift code is as
    // data, for a record loop that keeps shift codes.
    std::array<std::uint16_t, 256> single{};
    // The output byte of each plain byte; 0 wherever a byte needs a
    // decision (shift code, no mapping).
    std::array<std::uint8_t, 256> plain{};
    std::vector<std::uint16_t> plainPairs;  // plain for byte pairs (simd::makePairTable)
    // The kanji table with shift codes as lead bytes forced to "no mapping"
    // (JEF has no such pair), so that one look-up finds both, and one spare
    // entry after the last: the windows read four bytes at each entry.
    std::vector<KanjiEntry> kanji;
    // JIS X 0208 kanji by arithmetic, where the table agrees with it.
    simd::JisShortcut jis;
    // The stream's characters: each one's output bytes in memory order with
    // their count in the top byte, 0 wherever plain and kanji are 0, laid
    // out as simd::StreamChars says (single bytes in row 0, where no kanji
    // is). UTF-8 for j2u, Shift-JIS for j2s.
    std::vector<std::uint32_t> streamChars;
    bool utf8 = false;  // the stream writes UTF-8 (j2u)
    // The fast-path level of the run.
    simd::Level level = simd::Level::portable;

    // The record loop's alone: the stream always takes shift codes as shifts.
    bool skipShift = true;                  // shift codes outside packed and binary runs are skipped
    std::array<std::uint8_t, 256> skips{};  // 1 for each shift code skipped
    // plain without the bytes that give a comma: with it, the fast path of
    // a trimming walk's character run stops at each comma it would write.
    std::array<std::uint8_t, 256> plainNoComma{};
};

// The single-byte and kanji tables that options chose (narrowed for j2u),
// and its skipping of shift codes.
CodeTables makeCodeTables(const Options& options);

}  // namespace velk::j2s
