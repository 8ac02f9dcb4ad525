// Trimming of one field's content in a few vector steps, where the
// processor has AVX-512 compresses: pads and kept bytes become bit masks,
// so a field costs the same whatever its mix of pads and text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velk::j2s {

// Each writes the trimmed content of record[r, e) at record + w (w <= r)
// and returns true with w moved past it, exactly as the byte walk in
// trim_fields.cpp would; or returns false and changes nothing when the
// content is longer than 64 bytes, the processor lacks the instructions, or
// (double-byte content) the content is not made of whole two-byte units.
bool trimSingleContent(int trimFlags, std::uint8_t* record, std::size_t r, std::size_t e,
                       std::size_t& w);
bool trimDoubleContent(int trimFlags, std::uint8_t* record, std::size_t r, std::size_t e,
                       std::size_t& w);

}  // namespace velk::j2s
