// Pattern-driven conversion: record by record under the run's patterns,
// over buffers, reaching files, log and progress only through Io.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "j2sconv/j2s_io.h"
#include "j2sconv/record_layout.h"
#include "j2sconv/record_pattern.h"
#include "j2sconv/record_walk.h"

namespace velk::j2s {

// The patterns compiled for the loop.
struct RecordPlan {
    const PatternSet* patterns = nullptr;
    std::vector<RecordLayout> layouts;  // one per pattern, in the same order
    std::size_t readLength = 0;         // bytes in hand to choose a pattern: the longest source
    std::size_t recordMax = 0;          // output room a record takes: its longest form, line end and kTrimRoom
};

RecordPlan planRecords(const PatternSet& set);

struct RecordJob {
    int trimFlags = 0;        // trim* bits of trim_fields.h
    bool addLineEnd = false;  // CR LF after every record
};

// Converts the whole input. `in` and `out` start as recordBufferSizes says;
// `in` grows when a record (with skipped shift codes) outruns it.
Outcome convertRecords(const RecordPlan& plan, const CodeTables& tables, const RecordJob& job,
                       std::vector<std::uint8_t>& in, std::span<std::uint8_t> out, const Io& io);

}  // namespace velk::j2s
