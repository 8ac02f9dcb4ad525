// How the six single-byte tables relate: sizes, the shared outputs and the gaps.
#include <gtest/gtest.h>

#include <algorithm>

#include "tblank/single_byte_tables.h"

namespace {

using namespace velk;

TEST(SingleByteTables, CountsAndRelations) {
    struct Count {
        const char* name;
        const ByteTable& table;
        long mapped;
    };
    const Count counts[] = {
        {"e2aKana", e2aKana, 132}, {"e2aLower", e2aLower, 95}, {"e2aAscii", e2aAscii, 95},
        {"a2eKana", a2eKana, 131}, {"a2eLower", a2eLower, 94}, {"a2eAscii", a2eAscii, 95},
    };
    for (const Count& c : counts) {
        EXPECT_EQ(std::count_if(c.table.begin(), c.table.end(), [](auto b) { return b != 0; }), c.mapped)
            << c.name;
        EXPECT_EQ(c.table[0x00], 0) << c.name;
    }

    struct Lookup {
        const char* name;
        const ByteTable& table;
        unsigned index;
        unsigned expected;
    };
    const Lookup lookups[] = {
        {"e2aKana", e2aKana, 0x6A, '|'},   {"e2aKana", e2aKana, 0x4F, '|'},
        {"a2eKana", a2eKana, '|', 0x4F},   {"e2aLower", e2aLower, 0x6A, '|'},
        {"e2aLower", e2aLower, 0x4F, '|'}, {"a2eLower", a2eLower, '|', 0x4F},
        {"a2eAscii", a2eAscii, '\\', 0xE0}, {"e2aAscii", e2aAscii, 0xE0, '$'},
        {"e2aAscii", e2aAscii, 0x5B, '$'}, {"a2eAscii", a2eAscii, '$', 0x5B},
        {"e2aKana", e2aKana, 0x57, 0x00},  {"e2aKana", e2aKana, 0x59, 0x00},
        {"a2eLower", a2eLower, ']', 0x00}, {"a2eKana", a2eKana, 'a', 0x00},
    };
    for (const Lookup& l : lookups)
        EXPECT_EQ(l.table[l.index], l.expected) << l.name << " at " << std::hex << l.index;
}

}  // namespace
