// Field trimming for every optTrim value.
#include <gtest/gtest.h>

#include <string>

#include "j2sconv/trim_fields.h"

namespace {

TEST(TrimFields, EveryOptTrimValue) {
    const std::string s = "ABC   ,  DEF  G  ";
    const std::string w = "\x81\x40\x8A\xBF\x81\x40\x81\x40\x8E\x9A\x81\x40";  // 　漢　　字　
    const struct {
        int optTrim;
        std::string in, out;
    } cases[] = {
        {0, s, s},
        {0, w, w},
        {1, s, "ABC,DEF G"},
        {1, w, "\x8A\xBF\x81\x40\x8E\x9A"},
        {2, s, "ABC   ,DEF  G  "},
        {2, w, "\x8A\xBF\x81\x40\x81\x40\x8E\x9A\x81\x40"},
        {3, s, "ABC,  DEF  G"},
        {3, w, "\x81\x40\x8A\xBF\x81\x40\x81\x40\x8E\x9A"},
        {4, s, "ABC,DEF  G"},
        {4, w, "\x8A\xBF\x81\x40\x81\x40\x8E\x9A"},
        {5, s, s},
        {5, w, "\x8A\xBF\x81\x40\x8E\x9A"},
        {6, s, s},
        {6, w, "\x8A\xBF\x81\x40\x81\x40\x8E\x9A\x81\x40"},
        {7, s, s},
        {7, w, "\x81\x40\x8A\xBF\x81\x40\x81\x40\x8E\x9A"},
        {8, s, s},
        {8, w, "\x8A\xBF\x81\x40\x81\x40\x8E\x9A"},
        {1, "\"  AB  \"", "\"AB\""},                      // quotes stay, content trimmed
        {1, "A,   ,B", "A,,B"},                           // a field of pads becomes empty
        {2, "A,,B", "A,B"},                               // empty fields vanish
        {2, ",A,", "A"},
        {1, ",,,", ",,,"},                                // no field at all
        {1, "", ""},
        {1, "\x8A\xBF  ", "\x8A\xBF  "},                  // blanks in a double-byte field stay
        {1, "A\x81\x40", "A\x81\x40"},                    // full-width blank in a single-byte field
        {1, "\"", "\""},                                  // a lone quote is content
        {1, "\"\x81\x40\x8A\xBF\x81\x40\"", "\"\x8A\xBF\""},
        {1, std::string("A\0B  ,C ", 7), std::string("A\0B,C", 5)},  // NUL bytes are data
        {3, "\x93\x81@", "\x93\x81@"},                    // a kanji ending in 0x81 before '@'
        {1, "\x8A\xBF" "A\x81\x40", "\x8A\xBF" "A"},
        {1, "\x8A\xBF\x81\x40\x81\x40,\x81\x40\x81\x40", "\x8A\xBF,"},
    };
    for (const auto& c : cases) {
        std::string record = c.in;
        const std::size_t n = velk::j2s::trimFields(velk::j2s::trimFlagsFor(c.optTrim),
                                                    reinterpret_cast<std::uint8_t*>(record.data()), record.size());
        EXPECT_EQ(record.substr(0, n), c.out) << "optTrim " << c.optTrim << " on " << c.in;
    }
}

}  // namespace
