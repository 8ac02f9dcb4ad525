// Conversion of one record under its compiled pattern: a pure function from
// source bytes to output bytes and conversion-error records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "j2sconv/code_marks.h"
#include "j2sconv/j2s_io.h"
#include "j2sconv/record_layout.h"
#include "simd/jis_shortcut.h"
#include "simd/level.h"
#include "tblank/single_byte_tables.h"
#include "tblknj/kanji_tables.h"

namespace velk::j2s {

// Lookup values for X, A and 9 positions: the output byte, or one of the
// flags below.
inline constexpr std::uint16_t charUnmapped = kMarkUnmapped;
inline constexpr std::uint16_t charShift = kMarkShift;

struct RecordTables {
    std::array<std::uint16_t, 256> chars{};  // EBCDIC byte -> output or flags
    std::array<std::uint8_t, 256> plain{};   // the same, 0 where a flag is
    std::array<std::uint8_t, 256> skips{};   // 1 for the shift codes that are skipped
    const KanjiTable* kanji = nullptr;
    simd::JisShortcut jis;                   // most kanji by arithmetic
    bool skipShift = true;                   // shift codes outside packed runs are skipped
    simd::Level level = simd::Level::portable;  // of the runs' fast paths
};

// e2a is the run's single-byte table, kanji its pair table (j2u passes
// narrowed ones); skipShift false keeps shift codes as data.
RecordTables recordTables(const ByteTable& e2a, bool skipShift,
                          const KanjiTable& kanji = jef2sjis);

enum class RecordStatus : std::uint8_t {
    Done,
    NeedInput,      // the source ran out before the input did: call again with more
    BadZonedRun,    // a point in an S run is not followed by S
    BadPackedRun,   // a packed run is malformed or longer than maxPackedDigits
    BadBinaryRun,   // a binary run is malformed or longer than maxBinaryDigits
};

struct RecordResult {
    RecordStatus status = RecordStatus::Done;
    std::size_t used = 0;    // source bytes taken, skipped shift codes included
    std::size_t length = 0;  // output bytes
};

// Converts the record that starts at source[0]. `inputEnds` says that no
// byte follows the source; where the source then runs out, the rest of the
// pattern is written as it stands. `out` must hold layout.maxOutput bytes.
// Unmapped characters and binary values too long for their run are
// replaced and appended to `errors`.
RecordResult convertRecord(const RecordLayout& layout, std::span<const std::uint8_t> source,
                           bool inputEnds, const RecordTables& tables, std::uint8_t* out,
                           std::vector<ConversionError>& errors);

}  // namespace velk::j2s
