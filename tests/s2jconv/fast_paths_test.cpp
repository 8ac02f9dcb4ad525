// Each level's fast path against the byte loop alone: the same output,
// errors and state.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "s2jconv/s2j_convert.h"
#include "support/levels.h"
#include "support/random_text.h"

namespace {

using namespace velk::s2j;
using velk::test::Pool;

struct Converted {
    std::string out;
    std::vector<std::array<std::int64_t, 4>> errors;  // kind, code, line, column
    std::array<std::int64_t, 4> state;                // offset, line feeds, line start, errors

    bool operator==(const Converted&) const = default;
};

Converted convertInBlocks(const Converter& conv, const std::string& in, std::size_t block) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(in.data());
    std::vector<std::uint8_t> out(2 * block + 1);
    std::vector<ConversionError> errors;
    CarriedState state;
    Converted c;
    for (std::size_t pos = 0; pos < in.size();) {
        const std::size_t n = std::min(block, in.size() - pos);
        const bool last = pos + n == in.size();
        const BlockResult r = convertBlock(conv, {p + pos, n}, last, state, out.data(), errors);
        std::size_t written = r.written;
        if (last) written += finishRun(conv, state, out.data() + written);
        c.out.append(out.begin(), out.begin() + static_cast<long>(written));
        pos += r.consumed;
    }
    for (const ConversionError& e : errors)
        c.errors.push_back({static_cast<int>(e.kind), e.code, e.line, e.column});
    c.state = {state.offset, state.lineFeeds, state.lineStart, state.errorCount};
    return c;
}

class S2jFastPaths : public testing::TestWithParam<velk::simd::Level> {};

TEST_P(S2jFastPaths, AgreeWithTheByteLoop) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    Pool kanji;
    for (int lead : {0x81, 0x82, 0x83, 0x88, 0x8B, 0x93, 0x98, 0x9F, 0xE0, 0xEA, 0xED, 0xFA, 0xFC}) {
        const Pool row = velk::test::byteRange(0x40, 0xFC, std::string(1, static_cast<char>(lead)));
        kanji.insert(kanji.end(), row.begin(), row.end());
    }
    const std::vector<Pool> pools = {velk::test::byteRange(0x20, 0x7E), kanji,
                                     velk::test::byteRange(0xA1, 0xDF), {"\r\n", "\n", "\r"},
                                     velk::test::anyByte()};
    std::mt19937 rng(4242);
    for (int optConv : {1, 2, 3, 4, 9}) {
        for (int optOther : {0, 1}) {
            Converter fast = makeConverter(optConv, optOther);
            fast.level = GetParam();
            // The byte loop alone: no windows, no kanji words.
            Converter slow = fast;
            slow.level = velk::simd::Level::portable;
            slow.windows = false;
            slow.kanjiWords = false;
            for (int round = 0; round < 25; ++round) {
                const std::string in = velk::test::randomText(rng, pools, 700);
                for (std::size_t block : {2, 63, 64, 65, 129, 100000}) {
                    SCOPED_TRACE(testing::Message() << "optConv " << optConv << ", optOther " << optOther
                                                    << ", round " << round << ", blocks of " << block);
                    ASSERT_EQ(convertInBlocks(fast, in, block), convertInBlocks(slow, in, block));
                }
            }
        }
    }
}

// Otherwise kanji runs silently go a pair at a time at every level.
TEST(S2jKanjiWords, TheTableMapsOnlyFirstBytes) { EXPECT_TRUE(makeConverter(4, 1).kanjiWords); }

VELK_FOR_EVERY_LEVEL(S2jFastPaths);

}  // namespace
