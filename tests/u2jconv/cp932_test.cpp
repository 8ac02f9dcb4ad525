// Chosen entries of the CP932 table both ways, pinned also where iconv has
// no CP932. (The whole table is regenerated from iconv and compared by the
// cp932_table_matches_iconv test; its UTF-8, for every JEF code, by the j2u
// tests.)
#include <gtest/gtest.h>

#include <string>

#include "tblutf/cp932.h"

namespace {

using namespace velk;

TEST(Cp932, ExamplesBothWays) {
    const cp932::Table& to = cp932::toUnicode();
    const cp932::Table& back = cp932::fromUnicode();
    const struct {
        unsigned sjis, cp, backSjis;
    } cases[] = {
        {0x5C, 0x5C, 0x5C},       {0x7E, 0x7E, 0x7E},       {0xB1, 0xFF71, 0xB1},
        {0x815F, 0xFF3C, 0x815F}, {0x8160, 0xFF5E, 0x8160}, {0x8191, 0xFFE0, 0x8191},
        {0x81CA, 0xFFE2, 0x81CA}, {0xEEF9, 0xFFE2, 0x81CA}, {0xFA54, 0xFFE2, 0x81CA},
        {0x8790, 0x2252, 0x81E0}, {0xED40, 0x7E8A, 0xFA5C}, {0xF040, 0xE000, 0xF040},
        {0xF9FC, 0xE757, 0xF9FC},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to[c.sjis], c.cp) << std::hex << c.sjis;
        EXPECT_EQ(back[c.cp], c.backSjis) << std::hex << c.cp;
    }
    // One-way: iconv takes these to CP932 but never gives them back.
    EXPECT_EQ(back[0x301C], 0x8160);
    EXPECT_EQ(back[0x2014], 0x815C);
    EXPECT_EQ(back[0xA5], 0x5C);
    EXPECT_EQ(to[0x80], cp932::kNone);
    EXPECT_EQ(to[0xA0], cp932::kNone);
    EXPECT_EQ(to[0x8100], cp932::kNone);
    EXPECT_EQ(back[0xE9], cp932::kNone);
}

}  // namespace
