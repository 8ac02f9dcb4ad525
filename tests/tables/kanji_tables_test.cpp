// Both kanji tables in full, by fingerprint, and the entries callers lean on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sha256.h"
#include "tblknj/kanji_tables.h"

namespace {

using velk::KanjiTable;
using velk::jef2sjis;
using velk::sjis2jef;

std::vector<std::uint8_t> dump(const KanjiTable& table) {
    std::vector<std::uint8_t> bytes;
    for (const auto& entry : table) bytes.insert(bytes.end(), entry.begin(), entry.end());
    return bytes;
}

TEST(Sha256, KnownVectors) {
    EXPECT_EQ(velk::test::sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(velk::test::sha256Hex({'a', 'b', 'c'}),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// One digest over all 131,072 bytes catches a wrong entry anywhere.
TEST(KanjiTables, WholeTableFingerprints) {
    EXPECT_EQ(velk::test::sha256Hex(dump(sjis2jef)),
              "91263927b646389e0af980535285c3185ccedebf0a1af3d779e6ae8ffc5eb4df");
    EXPECT_EQ(velk::test::sha256Hex(dump(jef2sjis)),
              "f110bf26e21f489df44d12015b74fbc84422898ffea2e45c5cd99fd0b0e86d34");
}

TEST(KanjiTables, EntriesCallersDependOn) {
    struct Case {
        const char* name;
        const KanjiTable& table;
        unsigned index;
        unsigned expected;
    };
    const Case cases[] = {
        {"s2j ideographic space to JEF space", sjis2jef, 0x8140, 0x4040},
        {"s2j first kanji", sjis2jef, 0x889F, 0xB0A1},
        {"s2j square era name unmapped", sjis2jef, 0x877E, 0x0000},
        {"s2j square era name unmapped", sjis2jef, 0x878F, 0x0000},
        {"s2j rule itself gives zero", sjis2jef, 0xF0FE, 0x0000},
        {"s2j lead byte 0x80 unmapped", sjis2jef, 0x8041, 0x0000},
        {"s2j single-byte katakana lead unmapped", sjis2jef, 0xB188, 0x0000},
        {"s2j wrap to first byte zero is a mapping", sjis2jef, 0xF09F, 0x00A1},
        {"s2j lead byte then line feed", sjis2jef, 0x810A, 0xA16B},
        {"s2j exchanged kanji", sjis2jef, 0x88B1, 0xF2CD},
        {"s2j NEC-selected IBM block follows IBM block", sjis2jef, 0xED40, 0x5FDC},
        {"j2s JEF space", jef2sjis, 0x4040, 0x8140},
        {"j2s ideographic space", jef2sjis, 0xA1A1, 0x8140},
        {"j2s below the standard area", jef2sjis, 0xA1A0, 0x0000},
        {"j2s past the standard area", jef2sjis, 0xFEFF, 0x0000},
        {"j2s borrowing second byte", jef2sjis, 0xA300, 0x81FE},
        {"j2s exchanged kanji back to partner", jef2sjis, 0xF2CD, 0xE9CB},
        {"j2s shared code prefers symbol", jef2sjis, 0x76A7, 0x81CA},
        {"j2s shared code prefers IBM block", jef2sjis, 0x5FDC, 0xFA5C},
        {"j2s fixed entry without partner", jef2sjis, 0x45A2, 0xFA89},
        {"j2s fixed standard-area entry", jef2sjis, 0xEDEE, 0x93F4},
    };
    for (const Case& c : cases) {
        const auto& entry = c.table[c.index];
        EXPECT_EQ(entry[0] * 256u + entry[1], c.expected) << c.name << " at " << std::hex << c.index;
    }
}

}  // namespace
