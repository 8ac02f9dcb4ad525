// Each level's window path against the byte loop alone (the portable
// level): the same output, errors (with their lines and columns) and state,
// with every kind of character, line end and malformed sequence met at
// every position of a window, and windows and blocks cutting sequences.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "simd/simd.h"
#include "support/levels.h"
#include "support/random_text.h"
#include "u2jconv/u2j_convert.h"

namespace {

using namespace velk;
using test::Pool;

struct Converted {
    std::string out;
    std::vector<std::array<std::int64_t, 5>> errors;  // kind, length, value, line, column
    std::array<std::int64_t, 5> state;                // offset, line feeds, line start, errors, open

    bool operator==(const Converted&) const = default;
    friend void PrintTo(const Converted& c, std::ostream* os) {
        *os << testing::PrintToString(c.out) << " errors " << testing::PrintToString(c.errors)
            << " state " << testing::PrintToString(c.state);
    }
};

Converted convertInBlocks(const u2j::Tables& t, const std::string& in, std::size_t block) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(in.data());
    std::vector<std::uint8_t> out(2 * block);
    std::vector<u2j::ConversionError> errors;
    s2j::CarriedState state;
    Converted c;
    for (std::size_t pos = 0; pos < in.size();) {
        // A cut sequence comes again at the start of the next block.
        const std::size_t n = std::min(block, in.size() - pos);
        const bool last = pos + n == in.size();
        const s2j::BlockResult r = u2j::convertBlock(t, {p + pos, n}, last, state, out.data(), errors);
        c.out.append(out.begin(), out.begin() + static_cast<long>(r.written));
        pos += r.consumed;
    }
    for (const u2j::ConversionError& e : errors)
        c.errors.push_back({static_cast<int>(e.kind), e.length, e.value, e.line, e.column});
    c.state = {state.offset, state.lineFeeds, state.lineStart, state.errorCount, state.kanjiOpen};
    return c;
}

u2j::Tables tablesAt(simd::Level level, int optConv, int optOther) {
    s2j::Converter conv = s2j::makeConverter(optConv, optOther);
    conv.level = level;
    return u2j::makeTables(conv);
}

// This level against the byte loop alone, under each (optConv, optOther),
// for every input in blocks of each length.
void expectAgreement(simd::Level level, std::initializer_list<std::pair<int, int>> options,
                     const std::vector<std::string>& inputs, std::initializer_list<std::size_t> blocks) {
    for (const auto& [optConv, optOther] : options) {
        const u2j::Tables fast = tablesAt(level, optConv, optOther);
        const u2j::Tables slow = tablesAt(simd::Level::portable, optConv, optOther);
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            for (std::size_t block : blocks) {
                SCOPED_TRACE(testing::Message() << "optConv " << optConv << ", optOther " << optOther << ", input "
                                                << k << ", blocks of " << block);
                ASSERT_EQ(convertInBlocks(fast, inputs[k], block), convertInBlocks(slow, inputs[k], block));
            }
        }
    }
}

// Clean text of every class the windows take under optConv 1 and 9: ASCII
// words, kanji, kana (three bytes to one), two-byte characters to a pair
// (alpha) and to a single byte (yen sign to 0x5C).
std::string cleanText(std::size_t length) {
    static const char* const words[] = {"ABC ", "\xE6\xBC\xA2\xE5\xAD\x97", "123",
                                        "\xEF\xBD\xB1\xEF\xBD\xB2", "\xCE\xB1",
                                        "\xE3\x81\x82 ", "\xC2\xA5", "XYZ"};
    std::string s;
    for (std::size_t k = 0; s.size() < length; ++k) s += words[(k * 5 + k / 8) % std::size(words)];
    return s;
}

class U2jFastPaths : public testing::TestWithParam<simd::Level> {};

// Each of these once at every position of the first three windows, in
// clean text, so that it lands on every byte of a window and its end.
TEST_P(U2jFastPaths, EveryKindOfInputAtEveryPosition) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    const std::string inserts[] = {
        "\x80",              // a continuation byte with no lead
        "\xC1\x81",          // 'A' in an overlong two-byte form
        "\xE0\x81\x81",      // and in three bytes
        "\xE0\x8E\xB1",      // alpha in three bytes
        "\xE0\xA4\xB9",      // well formed after E0, no mapping
        "\xED\xA0\x80",      // a surrogate
        "\xED\x9F\xBF",      // well formed after ED, no mapping
        "\xE6\xBC",          // a three-byte sequence missing its last byte
        "\xE6",              // and missing two
        "\xC3",              // a two-byte lead alone
        "\xF0\x9F\x98\x80",  // four bytes: no mapping
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\xFF",              // never in UTF-8
        "\xC3\xA9",          // no Shift-JIS form
        "\xEE\x80\x80",      // a private-use code point that maps
        "\t",                // no EBCDIC byte
        std::string(1, '\0'),
        "\r", "\n", "\r\n", "\n\n",
    };
    const std::string clean = cleanText(260);
    std::vector<std::string> inputs;  // input k: insert k / 193 at k % 193
    for (const std::string& insert : inserts)
        for (std::size_t at = 0; at <= 3 * 64; ++at) inputs.push_back(clean.substr(0, at) + insert + clean.substr(at));
    expectAgreement(GetParam(), {{1, 1}, {1, 0}, {9, 1}}, inputs, {100000, 100});
}

TEST_P(U2jFastPaths, RandomTextInBlocksOfEverySize) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    Pool kanji, kana, twoBytes;
    for (unsigned cp : {0x3042u, 0x30A2u, 0x4E00u, 0x6F22u, 0x5B57u, 0x9DD7u, 0xFF21u, 0x3000u,
                        0x2252u, 0xE000u, 0x7E8Au, 0x2014u, 0x301Cu, 0x4E02u})
        kanji.push_back({static_cast<char>(0xE0 | cp >> 12), static_cast<char>(0x80 | (cp >> 6 & 0x3F)),
                         static_cast<char>(0x80 | (cp & 0x3F))});
    for (int c = 0xA1; c <= 0xBF; ++c) kana.push_back({'\xEF', '\xBD', static_cast<char>(c)});
    for (unsigned cp : {0xA5u, 0xA7u, 0xB0u, 0x391u, 0x3B1u, 0x410u, 0x451u, 0xE9u})
        twoBytes.push_back({static_cast<char>(0xC0 | cp >> 6), static_cast<char>(0x80 | (cp & 0x3F))});
    const std::vector<Pool> pools = {test::byteRange(0x20, 0x7E), kanji, kana, twoBytes,
                                     {"\r\n", "\n", "\r"}, test::anyByte()};
    std::mt19937 rng(2024);
    std::vector<std::string> inputs;
    for (int round = 0; round < 30; ++round) inputs.push_back(test::randomText(rng, pools, 900));
    expectAgreement(GetParam(), {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0}, {4, 1}, {9, 0}, {9, 1}},
                    inputs, {4, 63, 64, 65, 67, 131, 100000});
}

// The kernel itself: clean text is taken whole but for the last window's
// worth, and the differential tests above then do test it; at the portable
// level, which has no window kernel, nothing is taken.
TEST_P(U2jFastPaths, CleanWindowsAreTaken) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    const bool kernel = GetParam() != simd::Level::portable;
    const std::string in = cleanText(1000) + "\n" + cleanText(1000);
    const auto* p = reinterpret_cast<const std::uint8_t*>(in.data());
    for (const auto& [optConv, optOther] : {std::pair{1, 1}, {9, 0}}) {
        const u2j::Tables t = tablesAt(GetParam(), optConv, optOther);
        std::vector<std::uint8_t> out(2 * in.size());
        simd::U2jCursor cursor{0, out.data(), false, 0, 0, 0};
        simd::u2jWindows(GetParam(), {t.entry.data(), t.plain.data(), optOther == 1}, p, in.size(), cursor);
        if (!kernel) {
            EXPECT_EQ(cursor.in, 0u);
            continue;
        }
        EXPECT_GT(cursor.in + simd::kU2jWindowBytes, in.size());
        EXPECT_EQ(cursor.lineFeeds, 1);
        std::int64_t characters = 0;
        for (std::size_t k = 0; k < cursor.in; ++k) characters += (p[k] & 0xC0) != 0x80;
        EXPECT_EQ(cursor.chars, characters);
    }
}

VELK_FOR_EVERY_LEVEL(U2jFastPaths);

}  // namespace
