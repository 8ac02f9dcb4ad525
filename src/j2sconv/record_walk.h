// Conversion of one record under its compiled pattern: a pure function from
// source bytes to output bytes and conversion-error records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "j2sconv/code_tables.h"
#include "j2sconv/j2s_io.h"
#include "j2sconv/record_layout.h"
#include "simd/simd.h"

namespace velk::j2s {

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

// The room past layout.maxOutput that `out` needs when the walk trims: the
// trim kernels read and overwrite a whole window from a field's start.
inline constexpr std::size_t kTrimRoom = simd::kTrimWindow;

// Converts the record that starts at source[0]. `inputEnds` says that no
// byte follows the source; where the source then runs out, the rest of the
// pattern is written as it stands. `out` must hold layout.maxOutput bytes,
// and kTrimRoom more with trimFlags. Unmapped characters and binary values
// too long for their run are replaced and appended to `errors`. With
// trimFlags (trim_fields.h), the record comes out as trimFields makes it,
// each field trimmed as soon as it ends.
RecordResult convertRecord(const RecordLayout& layout, std::span<const std::uint8_t> source,
                           bool inputEnds, const CodeTables& tables, std::uint8_t* out,
                           std::vector<ConversionError>& errors, int trimFlags = 0);

}  // namespace velk::j2s
