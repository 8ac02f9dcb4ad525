// Stream conversion: the block function on its own, then whole files through
// the binary, where block boundaries and the carried lead byte show.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "j2sconv/j2s_options.h"
#include "j2sconv/stream_convert.h"
#include "support/run_velk.h"
#include "support/levels.h"

namespace {

using velk::j2s::ConversionError;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s.push_back(static_cast<char>(b));
    return s;
}

using Logged = std::vector<std::tuple<ConversionError::Kind, std::uint16_t, std::size_t>>;

// Text, unmapped bytes, kanji runs with unmapped pairs and repeated shift
// codes, and sometimes a lone lead byte at the end.
std::string randomStream(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::string s;
    for (int segment = pick(12); segment >= 0; --segment) {
        for (int k = pick(150); k > 0; --k)
            s += static_cast<char>(pick(40) == 0 ? 0x00 : 0xC1 + pick(9));
        s += static_cast<char>(pick(2) ? 0x28 : 0x38);
        for (int k = pick(80); k > 0; --k) {
            const int r = pick(50);
            s += r == 0 ? bytes({0xFF, 0xFE}) : r == 1 ? bytes({0x38}) : bytes({0xB0 + pick(8), 0xA1 + pick(90)});
        }
        if (segment > 0 || pick(2)) s += '\x29';
    }
    if (pick(3) == 0) s += '\xB0';
    return s;
}

// Cuts the input into blocks as the stream loop does, carrying a lead byte
// that ends a block into the next.
std::string convertInBlocks(const velk::j2s::CodeTables& tables, const std::string& in,
                            std::size_t length, Logged& logged) {
    std::string out;
    std::vector<ConversionError> errors;
    bool doubleByte = false, carried = false;
    for (std::size_t pos = 0; pos < in.size();) {
        const std::size_t n = std::min(carried && length == 1 ? 2 : length, in.size() - pos);
        std::vector<std::uint8_t> block(in.begin() + static_cast<long>(pos),
                                        in.begin() + static_cast<long>(pos + n));
        std::vector<std::uint8_t> dst(velk::j2s::blockOutputBound(tables, n));  // exactly the room promised, for the sanitizer
        const auto r = velk::j2s::convertBlock(block, dst.data(), tables, doubleByte,
                                               pos + n == in.size(), errors);
        for (const ConversionError& e : errors) logged.emplace_back(e.kind, e.code, pos + e.offset);
        errors.clear();
        carried = r.carried;
        out.append(dst.begin(), dst.begin() + static_cast<long>(r.outLength));
        pos += r.consumed;
    }
    return out;
}

// Random streams and a few chosen ones, cut every way, against blocks of one
// character (two for a kanji), which never take a fast path.
class StreamBlockLevels : public testing::TestWithParam<velk::simd::Level> {};

TEST_P(StreamBlockLevels, FastPathsAgreeWithCharacterByCharacterOverAnyBlocking) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    std::vector<std::string> inputs = {bytes({0x38, 0xA4, 0xA2, 0x28, 0xA4, 0xA2, 0x29, 0x81}),
                                       bytes({0x28, 0xFF, 0x29, 0xC1}), bytes({0x28, 0x29})};
    std::mt19937 rng(20270101);
    for (int round = 0; round < 30; ++round) inputs.push_back(randomStream(rng));
    auto tables = velk::j2s::makeCodeTables(velk::j2s::decodeOptions(3, 0, 0, 0));  // e2aAscii
    tables.level = GetParam();
    for (const std::string& in : inputs) {
        Logged expectedLog;
        const std::string expected = convertInBlocks(tables, in, 1, expectedLog);
        for (std::size_t length : {2, 3, 7, 64, 100000}) {
            SCOPED_TRACE(testing::Message() << in.size() << " bytes, blocks of " << length);
            Logged logged;
            ASSERT_EQ(convertInBlocks(tables, in, length, logged), expected);
            ASSERT_EQ(logged, expectedLog);
        }
    }
}

VELK_FOR_EVERY_LEVEL(StreamBlockLevels);

// The reference above takes the same shift-code steps as the fast paths,
// so shift codes in either mode, repeated, after runs long enough for
// words, are pinned here.
TEST(StreamBlock, ShiftCodesInEitherModeAtEveryLevel) {
    const std::string a10(10, '\xC1'), kanji9 = [] {
        std::string s;
        for (int k = 0; k < 9; ++k) s += bytes({0xA4, 0xA2});
        return s;
    }();
    std::string i9;
    for (int k = 0; k < 9; ++k) i9 += "\x82\xA0";
    const struct {
        std::string in, out;
    } cases[] = {
        {bytes({0x38, 0xA4, 0xA2, 0x28, 0xA4, 0xA2, 0x29, 0x81}), "\x82\xA0\x82\xA0" "a"},
        {bytes({0x29, 0xC1, 0x29, 0x28, 0x28, 0xA4, 0xA2, 0x38, 0x29, 0x29, 0xC1}), "A\x82\xA0" "A"},
        {a10 + "\x28" + kanji9 + "\x28" + kanji9 + "\x29" + a10 + "\x29" + a10,
         std::string(10, 'A') + i9 + i9 + std::string(20, 'A')},
    };
    auto tables = velk::j2s::makeCodeTables(velk::j2s::decodeOptions(3, 0, 0, 0));  // e2aAscii
    for (velk::simd::Level level : velk::simd::kLevels) {
        if (!velk::simd::available(level)) continue;
        tables.level = level;
        for (const auto& c : cases) {
            Logged logged;
            EXPECT_EQ(convertInBlocks(tables, c.in, 100000, logged), c.out) << velk::simd::name(level);
            EXPECT_TRUE(logged.empty());
        }
    }
}

TEST(StreamFile, CarriedLeadBytesRecordsAndErrors) {
    const std::string a = bytes({0x82, 0xA0});  // JEF 0xA4A2
    // Without recSize, blocks of 16,380 bytes: the first ends on a lead byte.
    std::string big(16378, '\xC1'), bigOut(16378, 'A');
    big += '\x28';
    for (int i = 0; i < 9000; ++i) big += "\xA4\xA2", bigOut += a;
    big += bytes({0x29, 0xC1, 0x00, 0xC2, 0x28, 0xA4, 0xA2, 0xA4});  // ends on a lone lead byte
    bigOut += "A B" + a + " ";
    const struct {
        std::string in, recSize, output;
        long result;
        std::string log;
        std::vector<std::string> more;
    } cases[] = {
        // A lead byte at a record's end opens the next record, which keeps its length.
        {bytes({0x28, 0xA4, 0xA2, 0xA4, 0xA2, 0x29, 0xC1, 0xC2}), "4", a + "\r\n" + a + "A\r\nB\r\n", 3, "", {}},
        // Records of one byte: a kanji takes two rather than looping on its lead byte.
        {bytes({0x28, 0xA4, 0xA2, 0x29, 0xC1}), "1", "\r\n" + a + "\r\n\r\nA\r\n", 4, "", {}},
        {bytes({0x28, 0x29}), "2", "\r\n", 1, "", {}},
        // A shift-out taken as a trail byte, then a lone lead byte.
        {bytes({0x28, 0xFF, 0x29, 0xC1}), "0", "\x81\x40 ", -1,
         "JEF->シフトJIS 変換エラー(JEF=0xff29/2バイト目)\nJEF->シフトJIS 変換エラー(JEF=0xc1/4バイト目)\n", {}},
        {big, "0", bigOut, -1,
         "EBCDIC->JIS 変換エラー(EBCDIC=0x00/" + std::to_string(big.size() - 5) + "バイト目)\n"
         "JEF->シフトJIS 変換エラー(JEF=0xa4/" + std::to_string(big.size()) + "バイト目)\n",
         {}},
        // Only the first ten characters of the pattern path choose this mode.
        {bytes({0xC1, 0xC2}), "1", "A\r\nB\r\n", 2, "", {"_********_x.ptn"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recSize);
        const auto r = velk::test::runOnFile({"j2s", "1", "3", c.recSize}, c.in, "", c.more);
        EXPECT_EQ(r.output, c.output);
        EXPECT_TRUE(r.err.ends_with(velk::test::exitLine(c.result))) << r.err;
        EXPECT_EQ(r.log, c.log);
    }
}

}  // namespace
