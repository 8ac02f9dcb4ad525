// Mask steps of the x86 vector levels that need BMI2 (bit deposit and
// extract): both the AVX2 and the AVX-512 kernels build on them.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "simd/bits.h"

#define VELK_BMI2 __attribute__((target("bmi,bmi2,popcnt")))
#define VELK_AVX2 __attribute__((target("avx2,bmi,bmi2,popcnt")))
#define VELK_AVX512 \
    __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt")))

namespace velk::simd {

// j2s: the mode after each byte (bit set: double-byte), taking every
// shift-code byte for a shift code: the mode is the kind of the last one up
// to that byte, compared in turn with the one before.
VELK_BMI2 inline std::uint64_t modeAfter(std::uint64_t shiftIn, std::uint64_t shifts,
                                         bool doubleByte) {
    const std::uint64_t kinds = _pext_u64(shiftIn, shifts);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(shifts));
    const std::uint64_t changes = _bzhi_u64(kinds ^ ((kinds << 1) | std::uint64_t{doubleByte}), count);
    return prefixXor(_pdep_u64(changes, shifts)) ^ (doubleByte ? ~std::uint64_t{0} : 0);
}

// The characters of a window from its shift-code bytes (0x28 and 0x38 in,
// 0x29 out) and the mode before it; see jefWindowOf.
VELK_BMI2 inline bool jefWindow(std::uint64_t shiftIn, std::uint64_t shiftOut, bool doubleByte,
                                JefWindow& w) {
    const std::uint64_t shifts = shiftIn | shiftOut;
    return jefWindowOf(modeAfter(shiftIn, shifts, doubleByte), shifts, w);
}

// s2j: the characters a shift code goes before (those that change the kind
// of the last character; line ends do not count). open carries the kind.
VELK_BMI2 inline std::uint64_t shiftsBefore(std::uint64_t leads, std::uint64_t singles, bool& open) {
    const std::uint64_t characters = leads | singles;
    const std::uint64_t kinds = _pext_u64(leads, characters);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(characters));
    const std::uint64_t changes = _bzhi_u64(kinds ^ ((kinds << 1) | std::uint64_t{open}), count);
    if (count != 0) open = (kinds >> (count - 1)) & 1;
    return _pdep_u64(changes, characters);
}

// s2j with shift codes: two slots an input byte, its shift code then its
// own byte; the slots kept for input bytes 0-31 and 32-63.
VELK_BMI2 inline void slotMasks(std::uint64_t shifts, std::uint64_t kept, std::uint64_t& first,
                                std::uint64_t& second) {
    first = _pdep_u64(shifts, kEvenBits) | _pdep_u64(kept, kOddBits);
    second = _pdep_u64(shifts >> 32, kEvenBits) | _pdep_u64(kept >> 32, kOddBits);
}

}  // namespace velk::simd

#endif
