// The CP932 table against glibc's iconv, and the round trip of every
// Shift-JIS character that jef2sjis yields: UTF-8 as iconv writes it, and
// back to JEF through u2j.
#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "s2jconv/s2j_convert.h"
#include "tblknj/kanji_tables.h"
#include "tblutf/cp932.h"
#include "u2jconv/u2j_stream.h"

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

TEST(Cp932, EveryJefKanjiRoundTrips) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    const bool haveIconv = cd != reinterpret_cast<iconv_t>(-1);
    const cp932::Table& to = cp932::toUnicode();
    const cp932::Table& back = cp932::fromUnicode();
    std::string utf8, expected;
    int kanji = 0, undefined = 0, otherCode = 0, otherJef = 0, noJef = 0;
    auto jefOf = [](unsigned sjis) {
        const KanjiEntry j = sjis2jef[sjis];
        return (j[0] | j[1]) == 0 ? std::string("\x40\x40") : std::string{char(j[0]), char(j[1])};
    };
    for (unsigned jef = 0; jef < 65536; ++jef) {
        const KanjiEntry s = jef2sjis[jef];
        if ((s[0] | s[1]) == 0) continue;
        const unsigned sjis = (unsigned{s[0]} << 8) | s[1];
        if (to[sjis] == cp932::kNone) {  // j2u's conversion errors, such as 0x8100
            ++undefined;
            continue;
        }
        ++kanji;
        std::uint8_t u[3];
        const std::string mine(reinterpret_cast<char*>(u),
                               static_cast<std::size_t>(cp932::encodeUtf8(to[sjis], u)));
        if (haveIconv) {
            EXPECT_EQ(mine, iconvUtf8(cd, sjis)) << std::hex << sjis;
        }
        utf8 += mine;
        // u2j gives what s2j gives for the Shift-JIS code; where several
        // codes share a code point, for the one iconv takes back.
        const unsigned again = back[to[sjis]];
        if (again != sjis) ++otherCode;
        if (jefOf(again) != jefOf(sjis)) ++otherJef;
        if ((sjis2jef[again][0] | sjis2jef[again][1]) == 0) ++noJef;
        expected += jefOf(again);
    }
    if (haveIconv) iconv_close(cd);
    EXPECT_GT(kanji, 6000);
    std::printf("%d JEF codes yield CP932 kanji, %d yield codes CP932 lacks; %d come back through"
                " another Shift-JIS code, %d of them to another JEF; %d have no JEF on the way back\n",
                kanji, undefined, otherCode, otherJef, noJef);

    const s2j::Converter conv = s2j::makeConverter(1, 0);
    std::vector<std::uint8_t> inBuf(16380), out(2 * 16380);
    std::size_t pos = 0;
    std::string got;
    std::int64_t errors = 0;
    u2j::StreamIo io{
        [&](std::uint8_t* p, std::size_t n) -> std::int64_t {
            n = std::min(n, utf8.size() - pos);
            std::memcpy(p, utf8.data() + pos, n);
            pos += n;
            return static_cast<std::int64_t>(n);
        },
        [&](const std::uint8_t* p, std::size_t n) {
            got.append(reinterpret_cast<const char*>(p), n);
            return true;
        },
        [&](std::span<const u2j::ConversionError> es) { errors += es.size(); },
        [](std::int64_t) {},
    };
    u2j::CarriedState state;
    u2j::convertStream(u2j::makeTables(conv), static_cast<std::int64_t>(utf8.size()), inBuf, out,
                       io, state);
    ASSERT_EQ(got.size(), expected.size());
    const auto diff = std::mismatch(got.begin(), got.end(), expected.begin());
    EXPECT_TRUE(diff.first == got.end()) << "first difference at byte " << (diff.first - got.begin());
    EXPECT_EQ(state.chars.errorCount, noJef);
}

}  // namespace
