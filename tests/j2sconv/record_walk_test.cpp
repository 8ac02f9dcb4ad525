// One record under one pattern: numbers and their signs, characters, shift
// codes, input that ends inside the record, malformed number runs; binary
// numbers of every width.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "j2sconv/j2s_options.h"
#include "j2sconv/record_layout.h"
#include "j2sconv/record_walk.h"

namespace {

using namespace velk::j2s;

constexpr auto Done = RecordStatus::Done;
constexpr auto More = RecordStatus::NeedInput;
constexpr auto BadS = RecordStatus::BadZonedRun;
constexpr auto BadC = RecordStatus::BadPackedRun;
constexpr auto BadB = RecordStatus::BadBinaryRun;

struct WalkCase {
    std::string pattern, source;
    bool ends;  // no input follows the source; else two more bytes follow, or some unseen
    int optSkip;
    RecordStatus status;
    std::string out;
    std::size_t used, errors;
};

void walk(const WalkCase& c) {
    SCOPED_TRACE(c.pattern);
    RecordPattern p;
    p.text = c.pattern;
    p.length = static_cast<std::int32_t>(c.pattern.size());
    const RecordLayout layout = layoutFor(p);
    const CodeTables tables = makeCodeTables(decodeOptions(3, 0, c.optSkip, 0));  // e2aAscii
    const std::string source = c.ends || c.status == More ? c.source : c.source + "\xC9\xC9";
    std::vector<std::uint8_t> out(layout.maxOutput);
    std::vector<ConversionError> errors;
    const RecordResult r =
        convertRecord(layout, {reinterpret_cast<const std::uint8_t*>(source.data()), source.size()},
                      c.ends, tables, out.data(), errors);
    EXPECT_EQ(r.status, c.status);
    if (c.status != Done) return;
    EXPECT_EQ(std::string(out.begin(), out.begin() + static_cast<long>(r.length)), c.out);
    EXPECT_EQ(r.used, c.used);
    EXPECT_EQ(errors.size(), c.errors);
}

TEST(RecordWalk, Cases) {
    const WalkCase cases[] = {
        {"PPP.PP", "\x12\x34\x5C", false, 0, Done, "123.45", 3, 0},
        {"PPP.PP", "\x12\x34\x5D", false, 0, Done, "-123.45", 3, 0},
        {"CCC", "\x12\x3A", false, 0, Done, "?123", 2, 0},     // no sign nibble
        {"PPP", "\x12\x3A", false, 0, Done, "?123", 2, 0},
        {"CCC", "\x1B\x3F", false, 0, Done, "+1?3", 2, 0},     // a digit place that is not a digit
        {"CCC", "\x28\x5C", false, 0, Done, "+285", 2, 0},     // shift codes are data in packed runs
        {"CP", "\x1C\x2D", false, 0, Done, "+1-2", 2, 0},      // two runs side by side
        {"SSS.S", "\xF1\xF2\xF3\xD4", false, 0, Done, "-123.4", 4, 0},
        {"SS", "\xC1\x40", false, 0, Done, "+10", 2, 0},       // an unzoned byte is 0
        // Points: none, one, several, at any place of the run.
        {"S.S.S", "\xF1\xF2\xD3", false, 0, Done, "-1.2.3", 3, 0},
        {"SS.SS", "\xF1\xF2", true, 0, Done, "?12.??", 2, 0},
        {"P.PP.P", "\x01\x23\x4C", false, 0, Done, "1.23.4", 3, 0},
        {"C.CC.C", "\x01\x23\x4D", false, 0, Done, "-1.23.4", 3, 0},
        {"C.C", "\x12\x3C", false, 0, Done, "+2.3", 2, 0},
        {"BB.B", "\x01\x7B", false, 0, Done, "+37.9", 2, 0},
        {"U.U.U", "\x01\x7B", false, 0, Done, "3.7.9", 2, 0},
        {"9", "\xC1", false, 0, Done, "A", 1, 0},              // a zoned byte as a character
        {"X,XX", "\xC1\x29\xC2\xC3", false, 1, Done, "A, B", 3, 1},  // shift codes kept as data
        {"X,CCC", "\xC1\x29\x3C", false, 0, Done, "A,+293", 3, 0},   // a packed field may start with 0x29
        {"X,", "\xC1\x29", false, 0, Done, "A,", 1, 0},        // nothing read past the last data position
        {"NN\"NN\"", "\xB0\xA1\x28\xB0\xA2", false, 0, Done, "\x88\x9F\"\x88\xA0\"", 5, 0},
        {"NN", "\xA1\xA0", false, 0, Done, "\x81\x40", 2, 1},  // no mapping
        {"X", std::string("\x00", 1), false, 0, Done, " ", 1, 1},
        // The input ends inside the record: pattern letters stand for what is missing.
        {"X,SS.S", "\xC1", true, 0, Done, "A,SS.S", 1, 0},
        {"SSS", "\xF1", true, 0, Done, "?1??", 1, 0},         // cut zoned: sign and digits unknown
        {"SSS", "\xD1\xF2", true, 0, Done, "-12?", 2, 0},
        {"CCCCC", "\x12\x34", true, 0, Done, "?1234?", 2, 0},  // cut packed
        {"NNX", "\xB0", true, 0, Done, "\x81\x40X", 1, 1},     // a lone lead byte
        {"X,S.X", "\xC1", true, 0, Done, "A,S.X", 1, 0},       // a malformed run never reached
        {"XX", "\xC1\x29", true, 0, Done, "AX", 2, 0},         // a trailing shift code is skipped
        // The source ends but the input does not: ask for more rather than read past it.
        {"NN", "\xC1", false, 0, More, "", 0, 0},
        {"CCCCC", "\xC1", false, 0, More, "", 0, 0},
        {"X,CC", "\xC1", false, 0, More, "", 0, 0},
        {"SS.X", std::string(8, '\xF1'), false, 0, BadS, "", 0, 0},
        {"SS.", std::string(8, '\xF1'), false, 0, BadS, "", 0, 0},
        {"CC.P", std::string(8, '\xF1'), false, 0, BadC, "", 0, 0},
        {std::string(32, 'C'), std::string(20, '\xF1'), false, 0, BadC, "", 0, 0},
        {"X" + std::string(31, 'P'), std::string(20, '\xF1'), false, 0, Done, "1??1?1?1?1?1?1?1?1?1?1?1?1?1?1?1?",
         17, 0},  // the longest packed run
    };
    for (const auto& c : cases) walk(c);
}

TEST(RecordWalk, BinaryNumbers) {
    const std::string big18 = "\x0D\xE0\xB6\xB3\xA7\x63\xFF\xFF";   // 10^18 - 1
    const std::string over18 = "\x0D\xE0\xB6\xB3\xA7\x64\x00\x00";  // 10^18
    const WalkCase cases[] = {
        // Widths by digits: 1-4 a halfword, 5-9 a fullword, 10-18 a doubleword.
        {"BBBB", "\x04\xD2", false, 0, Done, "+1234", 2, 0},
        {"BBBB", "\xFB\x2E", false, 0, Done, "-1234", 2, 0},
        {"B", "\xFF\xFF", false, 0, Done, "-1", 2, 0},
        {"UUUUU", std::string("\x00\x00\xFF\xFF", 4), false, 0, Done, "65535", 4, 0},
        {"BBBBBBBBB", "\xC4\x65\x36\x01", false, 0, Done, "-999999999", 4, 0},
        {"BBBBBBBBBB", std::string(7, '\x00') + "\x01", false, 0, Done, "+0000000001", 8, 0},
        {std::string(18, 'B'), big18, false, 0, Done, "+999999999999999999", 8, 0},
        // Points stand where the pattern has them; U never has a sign.
        {"BBBBB.BB", "\xFF\xFF\xFF\x85", false, 0, Done, "-00001.23", 4, 0},
        {"UUU.UU", std::string("\x00\x00\x00\x07", 4), false, 0, Done, "000.07", 4, 0},
        {"BU", std::string("\xFF\xF7\x00\x05", 4), false, 0, Done, "-95", 4, 0},  // two runs side by side
        // More digits than the run has: never cut, every digit place '?'.
        {"UUUU", "\xFF\xFF", false, 0, Done, "????", 2, 1},
        {"BBBB", "\x27\x10", false, 0, Done, "+????", 2, 1},
        {"BB.BB", "\xD8\xF0", false, 0, Done, "-??.??", 2, 1},
        {"BBBBBBBBB", "\x7F\xFF\xFF\xFF", false, 0, Done, "+?????????", 4, 1},
        {std::string(18, 'B'), over18, false, 0, Done, "+??????????????????", 8, 1},
        {std::string(18, 'B'), std::string("\x80", 1) + std::string(7, '\x00'), false, 0, Done,
         "-??????????????????", 8, 1},  // the most negative doubleword
        {std::string(18, 'U'), std::string(8, '\xFF'), false, 0, Done, "??????????????????", 8, 1},
        // Shift-code bytes are data inside a binary field, whatever optSkip says.
        {"X,BBBBBBB", std::string("\xC1\x00\x28\x38\x29", 5), false, 0, Done, "A,+2635817", 5, 0},
        {"X,BBBBBBB", std::string("\xC1\x00\x28\x38\x29", 5), false, 1, Done, "A,+2635817", 5, 0},
        {"X,UUUUUUUUU", "\xC1\x29\x28\x38\x29", false, 0, Done, "A,690501673", 5, 0},
        {"UUUU,X", std::string("\x00\x29\x28\xC1", 4), false, 0, Done, "0041,A", 4, 0},  // the X skips its own
        // Cut by the end of the input: nothing known of the value.
        {"BBBB", "\x01", true, 0, Done, "?????", 1, 0},
        {"UUUU.U", "\x01\x02\x03", true, 0, Done, "????.?", 3, 0},
        {"X,BB", "\xC1", true, 0, Done, "A,BB", 1, 0},
        {"BBBBB", "\x01\x02", false, 0, More, "", 0, 0},
        {"BB.X", std::string(8, '\x01'), false, 0, BadB, "", 0, 0},
        {std::string(19, 'U'), std::string(8, '\x01'), false, 0, BadB, "", 0, 0},
    };
    for (const auto& c : cases) walk(c);
}

}  // namespace
