// The fast-path level of this process: the byte loops with word-at-a-time
// runs everywhere, AVX2 with BMI2 (where its bit deposit and extract are
// fast: not on AMD before Zen 3), or the AVX-512 set the widest kernels use.
// Picked once; VELK_SIMD=portable|avx2|avx512 asks for a level, and a level
// the processor lacks falls back to the best it has.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velk::simd {

enum class Level : std::uint8_t { portable, avx2, avx512 };

inline constexpr Level kLevels[] = {Level::portable, Level::avx2, Level::avx512};

// Whether this processor (and this build) can run the level.
bool available(Level level);
// The best level available.
Level bestLevel();
// The level of this process, chosen at the first call.
Level processLevel();
// The level asked for by `requested` (a VELK_SIMD value), or the best one
// when it names none or one the processor lacks.
Level chooseLevel(const char* requested);

const char* name(Level level);
std::optional<Level> parseLevel(std::string_view text);

}  // namespace velk::simd
