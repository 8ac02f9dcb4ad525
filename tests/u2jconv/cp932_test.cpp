// The CP932 table against glibc's iconv: chosen entries both ways, and the
// UTF-8 of every Shift-JIS character that jef2sjis yields.
#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

#include "tblknj/kanji_tables.h"
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

// UTF-8 of one CP932 character as glibc's iconv gives it; empty when refused.
std::string iconvUtf8(iconv_t cd, unsigned sjis) {
    char in[2] = {static_cast<char>(sjis >> 8), static_cast<char>(sjis)};
    char* ip = sjis < 0x100 ? in + 1 : in;
    std::size_t il = sjis < 0x100 ? 1 : 2;
    char out[8];
    char* op = out;
    std::size_t ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1)) return "";
    return std::string(out, op);
}

// Every Shift-JIS character jef2sjis yields that CP932 defines, in UTF-8 as
// iconv writes it. (u2j taking them back is checked through the binary, with
// every JEF code, by the j2u tests.)
TEST(Cp932, EveryJefKanjiAsIconvWritesIt) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP932 in iconv";
    const cp932::Table& to = cp932::toUnicode();
    int kanji = 0;
    for (unsigned jef = 0; jef < 65536; ++jef) {
        const KanjiEntry s = jef2sjis[jef];
        const unsigned sjis = (unsigned{s[0]} << 8) | s[1];
        if ((s[0] | s[1]) == 0 || to[sjis] == cp932::kNone) continue;  // j2u's conversion errors
        ++kanji;
        std::uint8_t u[3];
        const std::string mine(reinterpret_cast<char*>(u),
                               static_cast<std::size_t>(cp932::encodeUtf8(to[sjis], u)));
        EXPECT_EQ(mine, iconvUtf8(cd, sjis)) << std::hex << sjis;
    }
    iconv_close(cd);
    EXPECT_GT(kanji, 6000);
}

}  // namespace
