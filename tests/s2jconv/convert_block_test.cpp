// The in-memory conversion: tables, shift codes, substitutes, positions.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "s2jconv/s2j_convert.h"

namespace {

using namespace velk::s2j;
using namespace std::string_literals;

// "J61@1:2": single byte 0x61 at line 1, column 2; K for kanji, L for a
// first byte with nothing after it.
std::string describe(const ConversionError& e) {
    char text[64];
    const char kind = e.kind == ErrorKind::SingleByte   ? 'J'
                      : e.kind == ErrorKind::DoubleByte ? 'K'
                                                        : 'L';
    std::snprintf(text, sizeof text, "%c%x@%lld:%lld", kind, unsigned{e.code},
                  static_cast<long long>(e.line), static_cast<long long>(e.column));
    return text;
}

struct Converted {
    std::string out;
    std::vector<std::string> errors;
    CarriedState state;
};

Converted convertAll(const std::string& in, int optConv, int optOther, CarriedState state = {}) {
    const Converter conv = makeConverter(optConv, optOther);
    std::vector<std::uint8_t> out(2 * in.size() + 1);
    std::vector<ConversionError> errors;
    const BlockResult r = convertBlock(
        conv, {reinterpret_cast<const std::uint8_t*>(in.data()), in.size()}, true, state,
        out.data(), errors);
    EXPECT_EQ(r.consumed, in.size());
    const std::size_t n = r.written + finishRun(conv, state, out.data() + r.written);
    Converted c{std::string(out.begin(), out.begin() + static_cast<long>(n)), {}, state};
    for (const auto& e : errors) c.errors.push_back(describe(e));
    return c;
}

struct Case {
    const char* name;
    std::string in;
    int optConv, optOther;
    std::string out;
    std::vector<std::string> errors;
    std::int64_t lineFeeds;
};

const Case kCases[] = {
    {"line ends dropped", "ABC\r\nDEF\n", 1, 0, "\xC1\xC2\xC3\xC4\xC5\xC6", {}, 2},
    {"lower case is an error under kana", "abc", 1, 0, "\x40\x40\x40",
     {"J61@1:1", "J62@1:2", "J63@1:3"}, 0},
    {"lower case upper-cased", "abc", 2, 0, "\xC1\xC2\xC3", {}, 0},
    {"ascii table", "abc\\$", 4, 0, "\x81\x82\x83\xE0\x5B", {}, 0},
    {"copied under 9", "a\t\xB1\xFF", 9, 0, "a\t\xB1\xFF", {}, 0},
    {"NUL has no mapping even under 9", "\0"s, 9, 0, "\x40", {"J0@1:1"}, 0},
    {"katakana is an error under lower case", "\xB1", 3, 0, "\x40", {"Jb1@1:1"}, 0},
    {"ideographic space", "\x81\x40", 1, 0, "\x40\x40", {}, 0},
    {"kanji run bracketed", "A\x88\x9F" "B", 1, 1, "\xC1\x28\xB0\xA1\x29\xC2", {}, 0},
    {"final shift-out", "\x88\x9F", 1, 1, "\x28\xB0\xA1\x29", {}, 0},
    {"line end keeps the run open", "\x88\x9F\r\n\x88\x9F", 1, 1, "\x28\xB0\xA1\xB0\xA1\x29", {},
     1},
    {"failing byte still closes the run", "\x88\x9F" "a", 1, 1, "\x28\xB0\xA1\x29\x40",
     {"J61@1:3"}, 0},
    {"kanji without mapping", "AB\x87\x7E", 1, 0, "\xC1\xC2\x40\x40", {"K877e@1:3"}, 0},
    {"first byte 0x80", "\x80\x41", 1, 0, "\x40\x40", {"K8041@1:1"}, 0},
    {"user-defined area is a mapping", "\xF0\x40\xF0\x9F", 1, 0, "\xFF\xA1\x00\xA1"s, {}, 0},
    {"LF as a second byte is no line end", "\x81\x0A\t", 1, 0, "\xA1\x6B\x40", {"J9@1:3"}, 0},
    {"lone first byte at the end", "A\x88", 1, 0, "\xC1\x40", {"L88@1:2"}, 0},
    {"lone first byte inside an open run", "\x88\x9F\x88", 1, 1, "\x28\xB0\xA1\x40\x29",
     {"L88@1:3"}, 0},
    {"CR counts as a column", "A\r\x01", 4, 0, "\xC1\x40", {"J1@1:3"}, 0},
    {"line and column after LF", "ab\nc\x01\r\n\x7F", 4, 0, "\x81\x82\x83\x40\x40",
     {"J1@2:2", "J7f@3:1"}, 2},
};

TEST(ConvertBlock, Cases) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Converted r = convertAll(c.in, c.optConv, c.optOther);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.errors, c.errors);
        EXPECT_EQ(r.state.lineFeeds, c.lineFeeds);
        EXPECT_EQ(r.state.errorCount, static_cast<std::int64_t>(c.errors.size()));
    }
}

TEST(ConvertBlock, PositionsBeyond32Bits) {
    CarriedState start;
    start.offset = 6'000'000'000;
    start.lineStart = 5'000'000'000;
    start.lineFeeds = 3'000'000'000;
    Converted r = convertAll("\n\t", 1, 0, start);
    EXPECT_EQ(r.errors, std::vector<std::string>{"J9@3000000002:1"});
    EXPECT_EQ(convertAll("\t", 1, 0, start).errors,
              std::vector<std::string>{"J9@3000000001:1000000001"});
}

}  // namespace
