// Field trimming for every optTrim value.
#include <gtest/gtest.h>

#include <string>

#include "j2sconv/trim_fields.h"

namespace {

std::string trimmed(int flags, std::string record) {
    std::size_t n = velk::j2s::trimFields(flags, reinterpret_cast<std::uint8_t*>(record.data()),
                                          record.size());
    return record.substr(0, n);
}

TEST(TrimFields, EveryOptTrimValue) {
    const int flagsFor[] = {0, 1, 2, 4, 6, 9, 10, 12, 14};  // by optTrim
    const std::string single = "ABC   ,  DEF  G  ";
    const std::string wide = "\x81\x40\x8A\xBF\x81\x40\x81\x40\x8E\x9A\x81\x40";  // 　漢　　字　
    struct Case {
        int optTrim;
        std::string single, wide;
    };
    const Case cases[] = {
        {1, "ABC,DEF G", "\x8A\xBF\x81\x40\x8E\x9A"},
        {2, "ABC   ,DEF  G  ", "\x8A\xBF\x81\x40\x81\x40\x8E\x9A\x81\x40"},
        {3, "ABC,  DEF  G", "\x81\x40\x8A\xBF\x81\x40\x81\x40\x8E\x9A"},
        {4, "ABC,DEF  G", "\x8A\xBF\x81\x40\x81\x40\x8E\x9A"},
        {5, single, "\x8A\xBF\x81\x40\x8E\x9A"},
        {6, single, "\x8A\xBF\x81\x40\x81\x40\x8E\x9A\x81\x40"},
        {7, single, "\x81\x40\x8A\xBF\x81\x40\x81\x40\x8E\x9A"},
        {8, single, "\x8A\xBF\x81\x40\x81\x40\x8E\x9A"},
    };
    for (const Case& c : cases) {
        int flags = flagsFor[c.optTrim];
        EXPECT_EQ(trimmed(flags, single), c.single) << "optTrim " << c.optTrim;
        EXPECT_EQ(trimmed(flags, wide), c.wide) << "optTrim " << c.optTrim;
    }
}

TEST(TrimFields, FieldsQuotesAndPads) {
    struct Case {
        int flags;
        std::string in, out;
    };
    const Case cases[] = {
        {1, "\"  AB  \"", "\"AB\""},                       // quotes stay, content trimmed
        {1, "A,   ,B", "A,,B"},                            // a field of pads becomes empty
        {2, "A,,B", "A,B"},                                // empty fields vanish
        {2, ",A,", "A"},
        {1, ",,,", ",,,"},                                 // no field at all
        {1, "", ""},
        {1, "\x8A\xBF  ", "\x8A\xBF  "},                   // blanks in a double-byte field stay
        {1, "A\x81\x40", "A\x81\x40"},                     // full-width blank in a single-byte field
        {1, "\"", "\""},                                   // a lone quote is content
        {1, "\"\x81\x40\x8A\xBF\x81\x40\"", "\"\x8A\xBF\""},
        {1, std::string("A\0B  ,C ", 7), std::string("A\0B,C", 5)},  // NUL bytes are data
        {4, "\x93\x81@", "\x93\x81@"},                     // a kanji ending in 0x81 before '@'
        {1, "\x8A\xBF" "A\x81\x40", "\x8A\xBF" "A"},
        {1, "\x8A\xBF\x81\x40\x81\x40,\x81\x40\x81\x40", "\x8A\xBF,"},
    };
    for (const Case& c : cases) EXPECT_EQ(trimmed(c.flags, c.in), c.out) << c.in;
}

}  // namespace
