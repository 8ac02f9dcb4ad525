// The AVX-512 kernels, called through simd.h at Level::avx512 only.
#pragma once

#include "simd/simd.h"

namespace velk::simd::avx512 {

void s2jWindows(const S2jTables& tables, const std::uint8_t* in, std::size_t n, std::int64_t base,
                S2jCursor& cursor);
void j2sWindows(const J2sTables& tables, const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                J2sCursor& cursor);
std::size_t plainRun(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                     const std::uint8_t* plain, bool& stopped);
std::uint32_t plainChars(const std::uint8_t* src, std::uint32_t length, std::uint8_t* out,
                         const std::uint8_t* plain);
std::uint32_t shortcutKanji(const std::uint8_t* src, std::uint32_t pairs, std::uint8_t* out,
                            const JisShortcut& jis);
bool trimSingle(const TrimRule& rule, std::uint8_t* record, std::size_t r, std::size_t e,
                std::size_t& w);
bool trimDouble(const TrimRule& rule, std::uint8_t* record, std::size_t r, std::size_t e,
                std::size_t& w);

std::size_t trimSingleInPlace(const TrimRule& rule, std::uint8_t* p, std::size_t n);
std::size_t trimDoubleInPlace(const TrimRule& rule, std::uint8_t* p, std::size_t n);
}  // namespace velk::simd::avx512
