// The portable kernels that are functions rather than inline runs; the
// vector levels finish with them what their windows leave.
#pragma once

#include "simd/simd.h"

namespace velk::simd::portable {

void s2jWindows(const S2jTables& tables, const std::uint8_t* in, std::size_t n, std::int64_t base,
                S2jCursor& cursor);
void j2sWindows(const J2sTables& tables, const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                J2sCursor& cursor);
void streamChars(const StreamChars& tables, const std::uint8_t* in, std::size_t n, std::uint8_t* out,
              J2sCursor& cursor);

}  // namespace velk::simd::portable
