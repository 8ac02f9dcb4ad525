// One record under one pattern: numbers, characters, shift codes, cut fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "j2sconv/record_layout.h"
#include "j2sconv/record_walk.h"

namespace {

using namespace velk::j2s;

struct Walked {
    RecordResult result;
    std::string out;
    std::vector<ConversionError> errors;
};

Walked walk(const std::string& pattern, const std::string& source, bool inputEnds, int optSkip = 0,
            int optConv = 3) {
    RecordPattern p;
    p.text = pattern;
    p.length = static_cast<std::int32_t>(pattern.size());
    RecordLayout layout = layoutFor(p);
    RecordTables tables = recordTables(optConv, optSkip);
    std::vector<std::uint8_t> out(layout.maxOutput);
    Walked w;
    w.result = convertRecord(layout,
                             {reinterpret_cast<const std::uint8_t*>(source.data()), source.size()},
                             inputEnds, tables, out.data(), w.errors);
    w.out.assign(out.begin(), out.begin() + static_cast<long>(w.result.length));
    return w;
}

TEST(RecordWalk, ConvertsEachKindOfPosition) {
    struct Case {
        const char* pattern;
        std::string source;
        int optSkip;
        std::string out;
        std::size_t used;
        std::size_t errors;
    };
    const Case cases[] = {
        {"PPP.PP", "\x12\x34\x5C", 0, "123.45", 3, 0},
        {"PPP.PP", "\x12\x34\x5D", 0, "-123.45", 3, 0},
        {"CCC.CC", "\x12\x34\x5C", 0, "+123.45", 3, 0},
        {"CCCC", "\x01\x23\x4D", 0, "-1234", 3, 0},
        {"PPPP", "\x01\x23\x4D", 0, "-1234", 3, 0},
        {"PPPP", "\x01\x23\x4C", 0, "1234", 3, 0},
        {"CCC", "\x12\x3A", 0, "?123", 2, 0},           // no sign nibble
        {"PPP", "\x12\x3A", 0, "?123", 2, 0},
        {"CCC", "\x1B\x3F", 0, "+1?3", 2, 0},           // a digit place that is not a digit
        {"CCC", "\x28\x5C", 0, "+285", 2, 0},           // shift codes are data in packed runs
        {"CP", "\x1C\x2D", 0, "+1-2", 2, 0},            // two runs side by side
        {"SSS.S", "\xF1\xF2\xF3\xD4", 0, "-123.4", 4, 0},
        {"SSS.S", "\xF1\xF2\xF3\xF4", 0, "+123.4", 4, 0},
        {"SS", "\xC1\x40", 0, "+10", 2, 0},             // an unzoned byte is 0
        {"9", "\xC1", 0, "A", 1, 0},                    // a zoned byte as a character
        {"X,XX", "\xC1\x29\xC2\xC3", 0, "A,BC", 4, 0},
        {"X,XX", "\xC1\x29\xC2\xC3", 1, "A, B", 3, 1},   // shift codes kept as data
        {"X,CCC", "\xC1\x29\x3C", 0, "A,+293", 3, 0},   // a packed field may start with 0x29
        {"X,", "\xC1\x29", 0, "A,", 1, 0},              // nothing read past the last data position
        {"NN\"NN\"", "\xB0\xA1\x28\xB0\xA2", 0, "\x88\x9F\"\x88\xA0\"", 5, 0},
        {"NN", "\xA1\xA0", 0, "\x81\x40", 2, 1},        // no mapping
        {"X", std::string("\x00", 1), 0, " ", 1, 1},
    };
    for (const Case& c : cases) {
        Walked w = walk(c.pattern, c.source + "\xC9\xC9", false, c.optSkip);
        EXPECT_EQ(w.result.status, RecordStatus::Done) << c.pattern;
        EXPECT_EQ(w.out, c.out) << c.pattern;
        EXPECT_EQ(w.result.used, c.used) << c.pattern;
        EXPECT_EQ(w.errors.size(), c.errors) << c.pattern;
    }
}

TEST(RecordWalk, InputThatEndsInsideTheRecord) {
    struct Case {
        const char* pattern;
        std::string source;
        std::string out;
        std::size_t errors;
    };
    const Case cases[] = {
        {"XXXX", "\xC1\xC2", "ABXX", 0},
        {"X,SS.S", "\xC1", "A,SS.S", 0},                // pattern letters stand where input ends
        {"SSS", "\xF1", "?1??", 0},                     // cut zoned: sign and digits unknown
        {"SSS", "\xD1\xF2", "-12?", 0},
        {"CCCCC", "\x12\x34", "?1234?", 0},             // cut packed
        {"NNX", "\xB0", "\x81\x40X", 1},                // a lone lead byte
        {"X,S.X", "\xC1", "A,S.X", 0},                  // a malformed run never reached
        {"XX", "\xC1\x29", "AX", 0},                    // a trailing shift code is skipped
    };
    for (const Case& c : cases) {
        Walked w = walk(c.pattern, c.source, true);
        EXPECT_EQ(w.result.status, RecordStatus::Done) << c.pattern;
        EXPECT_EQ(w.out, c.out) << c.pattern;
        EXPECT_EQ(w.result.used, c.source.size()) << c.pattern;
        EXPECT_EQ(w.errors.size(), c.errors) << c.pattern;
    }
}

TEST(RecordWalk, AsksForMoreInputRatherThanReadPastTheSource) {
    const char* patterns[] = {"XXX", "NN", "SSS", "CCCCC", "X,CC"};
    for (const char* p : patterns) {
        EXPECT_EQ(walk(p, "\xC1", false).result.status, RecordStatus::NeedInput) << p;
    }
}

TEST(RecordWalk, MalformedNumberRuns) {
    struct Case {
        std::string pattern;
        RecordStatus status;
    };
    const Case cases[] = {
        {"SS.X", RecordStatus::BadZonedRun},
        {"SS.", RecordStatus::BadZonedRun},
        {"CC.P", RecordStatus::BadPackedRun},
        {std::string(32, 'C'), RecordStatus::BadPackedRun},
        {"X" + std::string(31, 'P'), RecordStatus::Done},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(walk(c.pattern, std::string(40, '\xF1'), false).result.status, c.status)
            << c.pattern;
    }
}

}  // namespace
