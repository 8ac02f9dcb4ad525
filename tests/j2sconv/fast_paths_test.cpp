// Each level's fast paths against the byte loops alone (the portable level):
// stream blocks, the record walk and field trimming must give the same
// output, errors and results either way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "j2sconv/j2s_options.h"
#include "j2sconv/record_layout.h"
#include "j2sconv/record_walk.h"
#include "j2sconv/stream_convert.h"
#include "j2sconv/trim_fields.h"
#include "j2sconv/utf8_output.h"
#include "simd/simd.h"
#include "support/levels.h"
#include "support/random_text.h"

namespace {

using namespace velk::j2s;
using velk::test::Pool;
using velk::test::byteRange;

const std::uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

// JEF kanji: JIS X 0208 rows (the arithmetic's), a few outside them, and
// EBCDIC text with shift codes between, some as a kanji's second byte.
Pool kanjiRows(std::initializer_list<int> leads) {
    Pool kanji;
    for (int lead : leads) {
        const Pool row = byteRange(0xA1, 0xFE, std::string(1, static_cast<char>(lead)));
        kanji.insert(kanji.end(), row.begin(), row.end());
    }
    return kanji;
}

const Pool jisKanji = kanjiRows({0xA1, 0xA4, 0xA5, 0xB0, 0xC8, 0xCF, 0xD0, 0xE0, 0xF4, 0xFE});
const Pool otherKanji = kanjiRows({0x41, 0x55, 0x7F});
const Pool ebcdicText = {"\x40", "\xC1", "\xC9", "\xD1", "\xE2", "\xF0", "\xF9", "\x81", "\x4B", "\x6B"};

std::vector<Pool> jefPools() {
    const std::string line = "\x28" + std::string(96, '\xA4') + "\x29";  // 48 x 0xA4A4
    return {ebcdicText, jisKanji, otherKanji,
            {"\x28\xA4\xA2\x29", "\x38\xB0\xA1\xB0\xA2\x29", "\xC1", "\x40", "\x28\xA4\xA2\xC1\xC2\x29", line},
            {"\x28", "\x29", "\x38", "\xA4\x28", "\xB0\x29", "\xA4\x38"},
            velk::test::anyByte()};
}

using Logged = std::vector<std::tuple<int, int, std::size_t>>;  // kind, code, offset
using StreamResult = std::tuple<std::string, Logged, bool>;

// Cuts the input into blocks as the stream loop does, carrying a lead byte
// that ends a block into the next (blocks of one then take two). Each block
// and its output in buffers of exactly their size, for the sanitizer.
// utf8Stage: each block's Shift-JIS goes through j2u's output stage.
StreamResult streamInBlocks(const CodeTables& tables, const std::string& in, std::size_t length,
                            bool utf8Stage = false) {
    std::string out;
    Logged logged;
    std::vector<ConversionError> errors;
    bool doubleByte = false, carried = false;
    for (std::size_t pos = 0; pos < in.size();) {
        const std::size_t n = std::min(carried && length == 1 ? 2 : length, in.size() - pos);
        const std::vector<std::uint8_t> block(in.begin() + static_cast<long>(pos), in.begin() + static_cast<long>(pos + n));
        std::vector<std::uint8_t> dst(blockOutputBound(tables, n));
        const BlockOutcome r = convertBlock(block, dst.data(), tables, doubleByte, pos + n == in.size(), errors);
        for (const ConversionError& e : errors) logged.emplace_back(static_cast<int>(e.kind), e.code, pos + e.offset);
        errors.clear();
        if (utf8Stage) {
            std::string utf8(utf8Capacity(r.outLength), '\0');
            utf8.resize(sjisToUtf8({dst.data(), r.outLength}, reinterpret_cast<std::uint8_t*>(utf8.data())));
            out += utf8;
        } else {
            out.append(dst.begin(), dst.begin() + static_cast<long>(r.outLength));
        }
        carried = r.carried;
        pos += r.consumed;
    }
    return {out, logged, doubleByte};
}

class J2sFastPaths : public testing::TestWithParam<velk::simd::Level> {};

// Random streams and a few chosen ones, cut every way, against the byte
// loops alone in blocks of one character (two for a kanji). j2u writes UTF-8
// in its own loop: the same as j2s's loop with j2u's narrowed tables followed
// by the output stage, errors and all.
TEST_P(J2sFastPaths, StreamBlocksAgreeWithTheByteLoops) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    const std::vector<Pool> pools = jefPools();
    std::vector<std::string> inputs = {"\x38\xA4\xA2\x28\xA4\xA2\x29\x81", "\x28\xFF\x29\xC1", "\x28\x29"};
    std::mt19937 rng(777);
    for (int round = 0; round < 30; ++round) inputs.push_back(velk::test::randomText(rng, pools, 900));
    for (int optConv : {1, 2, 3}) {
        CodeTables all = makeCodeTables(decodeOptions(optConv, 0, 0, 0));
        all.level = GetParam();
        CodeTables noShortcut = all, none = all;
        none.level = velk::simd::Level::portable;
        noShortcut.jis.count = none.jis.count = -1;
        // Every character through the step that decides.
        std::fill(none.streamChars.begin(), none.streamChars.end(), 0);
        std::fill(none.plainPairs.begin(), none.plainPairs.end(), 0);
        none.plain.fill(0);
        const Options options = decodeOptions(optConv, 0, 0, 0, true);
        CodeTables direct = makeCodeTables(options);
        direct.level = GetParam();
        Options sjis = options;  // the same narrowed tables, writing Shift-JIS
        sjis.utf8 = false;
        CodeTables staged = makeCodeTables(sjis);
        staged.level = velk::simd::Level::portable;
        for (const std::string& in : inputs) {
            const StreamResult expected = streamInBlocks(none, in, 1), expectedUtf8 = streamInBlocks(staged, in, 1, true);
            for (std::size_t length : {2, 3, 7, 63, 64, 65, 200, 100000}) {
                SCOPED_TRACE(testing::Message() << "optConv " << optConv << ", " << in.size() << " bytes "
                                                << testing::PrintToString(in.substr(0, 12)) << ", blocks of " << length);
                ASSERT_EQ(streamInBlocks(all, in, length), expected);
                ASSERT_EQ(streamInBlocks(noShortcut, in, length), expected) << "without the JIS shortcut";
                ASSERT_EQ(streamInBlocks(direct, in, length), expectedUtf8) << "j2u";
            }
        }
    }
}

// The reference above takes the same shift-code steps as the fast paths,
// so shift codes in either mode, repeated, after runs long enough for
// words, are pinned here.
TEST_P(J2sFastPaths, ShiftCodesInEitherMode) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    const std::string a10(10, '\xC1');
    std::string kanji9, i9;
    for (int k = 0; k < 9; ++k) kanji9 += "\xA4\xA2", i9 += "\x82\xA0";
    const struct {
        std::string in, out;
    } cases[] = {
        {"\x38\xA4\xA2\x28\xA4\xA2\x29\x81", "\x82\xA0\x82\xA0" "a"},
        {"\x29\xC1\x29\x28\x28\xA4\xA2\x38\x29\x29\xC1", "A\x82\xA0" "A"},
        // Long enough for a window at every level.
        {a10 + "\x28" + kanji9 + "\x28" + kanji9 + "\x29" + a10 + "\x29" + a10 + a10 + a10 + a10,
         std::string(10, 'A') + i9 + i9 + std::string(50, 'A')},
    };
    CodeTables tables = makeCodeTables(decodeOptions(3, 0, 0, 0));  // e2aAscii
    tables.level = GetParam();
    for (const auto& c : cases) {
        const StreamResult r = streamInBlocks(tables, c.in, 100000);
        EXPECT_EQ(std::get<0>(r), c.out);
        EXPECT_TRUE(std::get<1>(r).empty());
    }
}

// A pattern of random pieces, long character and kanji runs among them.
std::string randomPattern(std::mt19937& rng) {
    static const char* const pieces[] = {"X", "N", "A", "9", ",", ",", "\"", " ", ".", "SS.S", "CCC", "PP", "UUUU"};
    std::string p;
    for (int k = 1 + static_cast<int>(rng() % 10); k > 0; --k) {
        const std::string piece = pieces[rng() % std::size(pieces)];
        const std::size_t repeat = piece.size() == 1 && std::isalpha(piece[0]) ? 1 + rng() % 90 : 1;
        for (std::size_t r = 0; r < repeat; ++r) p += piece;
    }
    return p;
}

// The walk against the walk byte by byte (no plain byte, no arithmetic for
// the runs, the portable level); and trimming, which the walk does on each
// field as it ends, against the post-pass over the whole record (trimFields
// at the portable level). Sources are either mostly what the pattern asks
// for, so that runs are clean for long stretches, or rich in what trimming
// decides on: blanks, full-width blanks, quotes and commas.
TEST_P(J2sFastPaths, RecordWalkAndItsTrimmingAgreeWithTheByteLoops) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    const std::vector<Pool> pools = jefPools();
    const std::vector<Pool> trimSources = {
        {"\x40", "\x40\x40", "\xC1", "\xC2", "\x6B", "\x7F"},                 // blank, A, B, comma, quote
        {"\xA1\xA1", "\xA1\xA1\xA1\xA1", "\xB0\xA1", "\xA4\xA2"},          // full-width blank, kanji
        {"\x28", "\x29", "\x40\x6B\x40"}, velk::test::anyByte()};
    std::mt19937 rng(31337);
    // j2u's tables too: their shortcut leaves the rows with code page 932's gaps.
    for (bool utf8 : {false, true})
    for (int optConv : {1, 2, 3}) {
        for (int optSkip : {0, 1}) {
            CodeTables fast = makeCodeTables(decodeOptions(optConv, 0, optSkip, 0, utf8));
            fast.level = GetParam();
            CodeTables slow = fast;
            slow.level = velk::simd::Level::portable;
            slow.plain.fill(0);
            slow.jis.count = -1;
            for (int round = 0; round < 150; ++round) {
                RecordPattern pattern;
                pattern.text = randomPattern(rng);
                pattern.length = static_cast<std::int32_t>(pattern.text.size());
                const RecordLayout layout = layoutFor(pattern);
                std::string source;
                if (round % 2) {
                    source = velk::test::randomText(rng, trimSources, layout.sourceBytes + 4);
                } else {
                    for (std::size_t i = 0; i < pattern.text.size(); ++i) {
                        const Pool& pool = rng() % 30 == 0 ? pools[rng() % pools.size()]
                                           : pattern.text[i] == 'N' ? jisKanji : ebcdicText;
                        source += pool[rng() % pool.size()];
                        if (pattern.text[i] == 'N') ++i;
                    }
                    source.resize(source.size() - std::min<std::size_t>(source.size(), rng() % 3));
                }
                const bool ends = rng() % 2;
                auto walk = [&](const CodeTables& tables, int flags) {
                    // Exactly the room the walk is promised, so that ASan sees any step past it.
                    const std::size_t room = layout.maxOutput + (flags ? kTrimRoom : 0);
                    const auto out = std::make_unique<std::uint8_t[]>(room);
                    std::vector<ConversionError> errors;
                    const RecordResult r = convertRecord(layout, {bytesOf(source), source.size()}, ends, tables,
                                                         out.get(), errors, flags);
                    Logged logged;
                    for (const ConversionError& e : errors) logged.emplace_back(e.kind, e.code, e.offset);
                    std::string text(reinterpret_cast<const char*>(out.get()), r.status == RecordStatus::Done ? r.length : 0);
                    return std::tuple(r.status, r.used, text, logged);
                };
                SCOPED_TRACE(testing::Message() << "utf8 " << utf8 << ", optConv " << optConv << ", optSkip "
                                                << optSkip << ", pattern " << pattern.text << ", round " << round);
                const auto plain = walk(slow, 0);
                ASSERT_EQ(walk(fast, 0), plain);
                for (int optTrim = 1; optTrim <= 8; ++optTrim) {
                    const int flags = trimFlagsFor(optTrim);
                    auto expected = plain;
                    std::string& text = std::get<2>(expected);
                    text.resize(trimFields(flags, reinterpret_cast<std::uint8_t*>(text.data()), text.size(),
                                           velk::simd::Level::portable));
                    ASSERT_EQ(walk(fast, flags), expected) << "optTrim " << optTrim;
                }
            }
        }
    }
}

// The in-place kernels over one field's content, every length about the
// 64-byte window, lead bytes at the edges of their ranges, against the byte
// walk of trimFields. They may decline (too long, not whole characters).
TEST_P(J2sFastPaths, InPlaceTrimKernelsAgreeWithTheByteWalk) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    const std::vector<Pool> pools = {{" ", "  ", "A", "\x81\x40", "\x88\x9F"}, {" "}, {"\x81\x40"},
                                     {"\x80\x40", "\x9F\xFC", "\xE0\x40", "\xFC\x81", "\x81\x41", "\x40\x81"},
                                     {"\x7F", "\xA0", "\xDF", "\xFD", "\xFF", "\x00"}};
    std::mt19937 rng(1618);
    for (int round = 0; round < 3000; ++round) {
        std::string content = velk::test::randomText(rng, pools, 70);
        std::replace(content.begin(), content.end(), '"', 'Q');
        for (int optTrim = 1; optTrim <= 4; ++optTrim) {
            const int flags = trimFlagsFor(optTrim);
            const velk::simd::TrimRule rule{(flags & (trimSqueeze | trimStart)) != 0, (flags & (trimSqueeze | trimEnd)) != 0,
                                            (flags & trimSqueeze) != 0, true};
            std::string expected = content;
            expected.resize(trimFields(flags, reinterpret_cast<std::uint8_t*>(expected.data()), expected.size(),
                                       velk::simd::Level::portable));
            // The content, then the window's room filled with what a record might hold.
            std::vector<std::uint8_t> buffer(content.begin(), content.end());
            buffer.resize(content.size() + velk::simd::kTrimWindow, ' ');
            const bool lead = !content.empty() && (static_cast<std::uint8_t>(content[0]) ^ 0x20) - 0xA0u < 0x3Du;
            const std::size_t kept = lead ? velk::simd::trimDoubleInPlace(GetParam(), rule, buffer.data(), content.size())
                                          : velk::simd::trimSingleInPlace(GetParam(), rule, buffer.data(), content.size());
            SCOPED_TRACE(testing::Message() << "optTrim " << optTrim << ", round " << round);
            if (kept == velk::simd::kNotTrimmed) {
                ASSERT_TRUE(content.size() > 64 || lead) << "declined a short single-byte field";
                ASSERT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(content.size())), content);
                continue;
            }
            ASSERT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(kept)), expected);
        }
    }
}

TEST_P(J2sFastPaths, TrimmingAgreesWithTheByteWalk) {
    VELK_SKIP_UNLESS_AVAILABLE(GetParam());
    const std::vector<Pool> pools = {{" ", "  ", "A", "\x81\x40", "\x88\x9F", ",", "\"", "\xB1"},
                                     {" "}, {"\x81\x40"}, byteRange('A', 'Z'), {"\x88\x9F", "\x82\xA0", "\x81\x41"},
                                     {",", "\""}, velk::test::anyByte()};
    std::mt19937 rng(2718);
    for (int round = 0; round < 400; ++round) {
        const std::string record = velk::test::randomText(rng, pools, 400);
        for (int flags = 0; flags < 16; ++flags) {
            std::string fast = record, slow = record;
            fast.resize(trimFields(flags, reinterpret_cast<std::uint8_t*>(fast.data()), fast.size(), GetParam()));
            slow.resize(trimFields(flags, reinterpret_cast<std::uint8_t*>(slow.data()), slow.size(), velk::simd::Level::portable));
            ASSERT_EQ(fast, slow) << "trimFlags " << flags << ", round " << round;
        }
    }
}

VELK_FOR_EVERY_LEVEL(J2sFastPaths);

}  // namespace
