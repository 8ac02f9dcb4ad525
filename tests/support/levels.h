// Differential tests run once per fast-path level; a level this processor
// lacks is skipped by name, so a run without it never passes silently.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "simd/level.h"

namespace velk::test {

inline std::string levelName(const testing::TestParamInfo<simd::Level>& info) {
    return simd::name(info.param);
}

}  // namespace velk::test

#define VELK_SKIP_UNLESS_AVAILABLE(level)                                                    \
    if (!velk::simd::available(level))                                                       \
    GTEST_SKIP() << "level " << velk::simd::name(level) << " skipped: this processor lacks it"

#define VELK_FOR_EVERY_LEVEL(suite)                                                  \
    INSTANTIATE_TEST_SUITE_P(Level, suite, testing::ValuesIn(velk::simd::kLevels), \
                             velk::test::levelName)

namespace velk::simd {
// Test names and failure messages show the level by name.
inline void PrintTo(Level level, std::ostream* os) { *os << name(level); }
}  // namespace velk::simd
