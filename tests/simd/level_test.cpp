// The choice of the fast-path level from VELK_SIMD's value.
#include <gtest/gtest.h>

#include <optional>

#include "simd/jis_shortcut.h"
#include "simd/level.h"
#include "support/levels.h"
#include "tblknj/kanji_tables.h"

namespace {

using velk::simd::Level;

TEST(SimdLevel, RequestsFallBackToTheBestLevelAvailable) {
    const Level best = velk::simd::bestLevel();
    ASSERT_TRUE(velk::simd::available(best));
    ASSERT_TRUE(velk::simd::available(Level::portable));
    auto orBest = [&](Level asked) { return velk::simd::available(asked) ? asked : best; };
    const struct {
        const char* value;
        Level expected;
    } cases[] = {
        {nullptr, best},
        {"portable", Level::portable},
        {"avx2", orBest(Level::avx2)},
        {"avx512", orBest(Level::avx512)},
        {"", best},
        {"AVX2", best},         // names are lower case
        {"avx2 ", best},        // and exact
        {"sse4", best},
    };
    for (const auto& c : cases)
        EXPECT_EQ(velk::simd::chooseLevel(c.value), c.expected) << (c.value ? c.value : "(unset)");
}

TEST(SimdLevel, NamesReadBack) {
    for (Level level : velk::simd::kLevels)
        EXPECT_EQ(velk::simd::parseLevel(velk::simd::name(level)), std::optional<Level>(level));
}

// The vector kernels compute JIS X 0208 kanji instead of looking them up
// only while the table departs from the arithmetic in a few pairs.
TEST(SimdLevel, TheKanjiTableKeepsTheJisArithmetic) {
    EXPECT_GE(velk::simd::findJisShortcut(velk::jef2sjis.front().data()).count, 0);
}

}  // namespace
