// Which pattern a record converts under, by the keyword at its position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "j2sconv/record_pattern.h"

namespace velk::j2s {

// `head` holds the bytes read for the record. Shift codes before the
// keyword move it right, unless the pattern has a packed letter at their
// index or they are kept as data. A keyword that would lie beyond `head`
// does not match. Returns the first matching pattern, else the last one.
std::size_t choosePattern(const PatternSet& set, std::span<const std::uint8_t> head,
                          bool skipShift);

}  // namespace velk::j2s
