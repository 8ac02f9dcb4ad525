// The portable kernels: eight bytes as one 64-bit word, for any processor.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velk::simd::portable {

std::size_t plainRun(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                     const std::uint8_t* plain, bool& stopped);
std::size_t kanjiRun(const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                     const std::uint8_t* kanji);

}  // namespace velk::simd::portable
