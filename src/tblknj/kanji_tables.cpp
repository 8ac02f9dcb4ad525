#include "tblknj/kanji_tables.h"

#include <cstdint>

namespace velk {
namespace {

struct Override {
    std::uint16_t sjis;
    std::uint16_t jef;
};

constexpr Override overrides[] = {
#include "tblknj/kanji_overrides.inc"
};

// JEF -> Shift-JIS entries that no Shift-JIS code reaches, or that must win
// over the arithmetic for codes whose Shift-JIS partner was moved.
constexpr Override fixedJefEntries[] = {
    {0xFA89, 0x45A2}, {0xEAA4, 0x58A8}, {0xFB70, 0x5AFE},
    {0xE47C, 0xE7DA}, {0xE47D, 0xE7DB}, {0x93F4, 0xEDEE},
};

constexpr KanjiEntry entryOf(unsigned code) {
    return {static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
}

constexpr unsigned codeOf(KanjiEntry e) { return e[0] * 256u + e[1]; }

// JIS X 0208 arithmetic (JEF = JIS + 0x8080), applied to every second byte
// of a Shift-JIS lead byte; values off the code space wrap instead of failing.
constexpr KanjiEntry sjisRule(unsigned c1, unsigned c2) {
    unsigned r = 2 * (c1 - (c1 <= 0x9F ? 0x81 : 0xC1)) + 0x21;
    unsigned t;
    if (c2 >= 0x9F) {
        r += 1;
        t = c2 - 0x7E;
    } else {
        t = c2 - (c2 >= 0x7F ? 0x20 : 0x1F);
    }
    return {static_cast<std::uint8_t>(r + 0x80), static_cast<std::uint8_t>(t + 0x80)};
}

constexpr KanjiEntry jefRule(unsigned code) {
    unsigned d = (code - 0x8080) & 0xFFFF;
    unsigned r = d >> 8;
    unsigned k = d & 0xFF;
    unsigned s1 = ((r + 1) >> 1) + 0x70;
    if (s1 >= 0xA0) s1 += 0x40;
    unsigned s2 = (k + (r % 2 == 1 ? 0x1F : 0x7D)) & 0xFF;
    if (s2 >= 0x7F) s2 = (s2 + 1) & 0xFF;
    return {static_cast<std::uint8_t>(s1), static_cast<std::uint8_t>(s2)};
}

constexpr KanjiTable buildSjis2Jef() {
    KanjiTable table{};
    for (unsigned c1 = 0x81; c1 <= 0xFC; ++c1) {
        if (c1 >= 0xA0 && c1 <= 0xDF) continue;
        for (unsigned c2 = 0; c2 <= 0xFF; ++c2) table[c1 * 256 + c2] = sjisRule(c1, c2);
    }
    for (const Override& o : overrides) table[o.sjis] = entryOf(o.jef);
    return table;
}

// When several Shift-JIS codes share one JEF code below 0xA1, the way back
// prefers the 0x81xx symbol, then the IBM extension block 0xFA40-0xFC4B.
constexpr int reverseRank(unsigned sjis) {
    if (sjis == 0) return -1;
    if ((sjis >> 8) == 0x81) return 2;
    if (sjis >= 0xFA40 && sjis <= 0xFC4B) return 1;
    return 0;
}

constexpr KanjiTable buildJef2Sjis() {
    KanjiTable table{};
    for (unsigned c = 0xA1A1; c <= 0xFEFE; ++c) table[c] = jefRule(c);
    for (const Override& o : overrides) {
        unsigned lead = o.jef >> 8;
        if (lead < 0x40 || lead > 0x7F) continue;
        if (reverseRank(o.sjis) > reverseRank(codeOf(table[o.jef]))) table[o.jef] = entryOf(o.sjis);
    }
    for (const Override& o : fixedJefEntries) table[o.jef] = entryOf(o.sjis);
    return table;
}

}  // namespace

// Built by the compiler, so both tables sit in read-only data before main.
constinit const KanjiTable jef2sjis = buildJef2Sjis();
constinit const KanjiTable sjis2jef = buildSjis2Jef();

}  // namespace velk
