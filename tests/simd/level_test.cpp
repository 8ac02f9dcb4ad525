// The choice of the fast-path level from VELK_SIMD's value.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

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
// while the table departs from the arithmetic in a few pairs; a row with
// more (j2u's table leaves the gaps of code page 932 unmapped) is left to
// the table, and the other rows keep the arithmetic.
TEST(SimdLevel, TheShortcutTakesTheRowsThatKeepTheJisArithmetic) {
    using Table = std::vector<std::uint8_t>;
    const Table full(velk::jef2sjis.front().data(), velk::jef2sjis.front().data() + 2 * 65536);
    auto clear = [](Table t, int lead, int fromSecond, int toSecond) {
        for (int second = fromSecond; second <= toSecond; ++second) t[2 * (lead << 8 | second)] = t[2 * (lead << 8 | second) + 1] = 0;
        return t;
    };
    Table everyRowOnce = full;  // 94 exceptions, one a row
    for (int lead = 0xA1; lead <= 0xFE; ++lead) everyRowOnce = clear(everyRowOnce, lead, 0xA1, 0xA1);
    const struct {
        const char* what;
        Table table;
        int rowsTaken;
        std::vector<int> left;  // lead bytes the shortcut must leave
    } cases[] = {
        {"the kanji table", full, 94, {}},
        {"hiragana's last cells cleared", clear(full, 0xA4, 0xF4, 0xFE), 93, {0xA4}},
        {"a few cells in two rows", clear(clear(full, 0xB0, 0xA1, 0xA2), 0xD0, 0xFE, 0xFE), 94, {}},
        {"a cell in every row", everyRowOnce, 8, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const velk::simd::JisShortcut s = velk::simd::findJisShortcut(c.table.data());
        ASSERT_GE(s.count, 0);
        EXPECT_EQ(s.allRows, c.rowsTaken == 94);
        int taken = 0;
        for (int lead = 0xA1; lead <= 0xFE; ++lead) taken += s.takes(static_cast<unsigned>(lead));
        EXPECT_EQ(taken, c.rowsTaken);
        for (int lead : c.left) EXPECT_FALSE(s.takes(static_cast<unsigned>(lead)));
        // Every pair of a row it takes is the arithmetic's or listed.
        for (int lead = 0xA1; lead <= 0xFE; ++lead) {
            if (!s.takes(static_cast<unsigned>(lead))) continue;
            for (int second = 0xA1; second <= 0xFE; ++second) {
                const std::uint8_t* e = c.table.data() + 2 * (lead << 8 | second);
                const std::uint8_t* a = full.data() + 2 * (lead << 8 | second);
                const auto pair = static_cast<std::uint16_t>(lead | second << 8);
                if (e[0] == a[0] && e[1] == a[1]) continue;
                EXPECT_NE(std::find(s.irregular.begin(), s.irregular.begin() + s.count, pair), s.irregular.begin() + s.count)
                    << std::hex << lead << " " << second;
            }
        }
    }
}

}  // namespace
