// Stream conversion: the block function on its own, then whole files through
// the binary, where block boundaries and the carried lead byte show.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "j2sconv/stream_convert.h"
#include "support/run_velk.h"
#include "tblank/single_byte_tables.h"
#include "tblknj/kanji_tables.h"

namespace {

using velk::j2s::StreamError;
using velk::j2s::StreamErrorKind;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s.push_back(static_cast<char>(b));
    return s;
}

using Logged = std::vector<std::tuple<StreamErrorKind, std::uint16_t, std::size_t>>;

// Character by character, the whole input as one block.
std::string reference(const std::string& in, Logged& logged) {
    std::string out;
    bool doubleByte = false;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(in[i]);
        if (b == 0x28 || b == 0x38) {
            doubleByte = true;
        } else if (b == 0x29) {
            doubleByte = false;
        } else if (!doubleByte) {
            const std::uint8_t v = velk::e2aAscii[b];
            if (v == 0) logged.emplace_back(StreamErrorKind::SingleByte, b, i);
            out += static_cast<char>(v != 0 ? v : ' ');
        } else if (i + 1 < in.size()) {
            const auto code = static_cast<std::uint16_t>(b << 8 | static_cast<std::uint8_t>(in[i + 1]));
            const auto& e = velk::jef2sjis[code];
            if ((e[0] | e[1]) == 0) logged.emplace_back(StreamErrorKind::Kanji, code, i);
            out += (e[0] | e[1]) == 0 ? bytes({0x81, 0x40}) : bytes({e[0], e[1]});
            ++i;
        } else {
            logged.emplace_back(StreamErrorKind::LoneLead, b, i);
            out += ' ';
        }
    }
    return out;
}

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
std::string convertInBlocks(const velk::j2s::StreamTables& tables, const std::string& in,
                            std::size_t length, Logged& logged) {
    std::string out;
    std::vector<StreamError> errors;
    bool doubleByte = false, carried = false;
    for (std::size_t pos = 0; pos < in.size();) {
        const std::size_t n = std::min(carried && length == 1 ? 2 : length, in.size() - pos);
        std::vector<std::uint8_t> block(in.begin() + static_cast<long>(pos),
                                        in.begin() + static_cast<long>(pos + n));
        std::vector<std::uint8_t> dst(n);  // exactly the room promised, for the sanitizer
        const auto r = velk::j2s::convertBlock(block, dst.data(), tables, doubleByte,
                                               pos + n == in.size(), errors);
        for (const StreamError& e : errors) logged.emplace_back(e.kind, e.code, pos + e.index);
        errors.clear();
        carried = r.carried;
        out.append(dst.begin(), dst.begin() + static_cast<long>(r.outLength));
        pos += r.consumed;
    }
    return out;
}

TEST(StreamBlock, ConvertsShiftCodedText) {
    using K = StreamErrorKind;
    const struct {
        std::string in, out;
        Logged logged;
    } cases[] = {
        {bytes({0x28, 0xA1, 0xA1, 0x29, 0xC1}), bytes({0x81, 0x40, 0x41}), {}},
        {bytes({0x38, 0xA4, 0xA2, 0x28, 0xA4, 0xA2, 0x29, 0x81}), bytes({0x82, 0xA0, 0x82, 0xA0, 0x61}), {}},
        {bytes({0x28, 0x29}), "", {}},
        {bytes({0xC1, 0x00, 0xC2}), "A B", {{K::SingleByte, 0x00, 1}}},
        {bytes({0x28, 0xFF, 0x29, 0xC1}), bytes({0x81, 0x40, 0x20}), {{K::Kanji, 0xFF29, 1}, {K::LoneLead, 0xC1, 3}}},
    };
    const auto tables = velk::j2s::makeStreamTables(3);
    for (const auto& c : cases) {
        for (std::size_t length : {1, 2, 3, 100}) {
            SCOPED_TRACE(testing::PrintToString(c.in) + " in blocks of " + std::to_string(length));
            Logged logged;
            EXPECT_EQ(convertInBlocks(tables, c.in, length, logged), c.out);
            EXPECT_EQ(logged, c.logged);
        }
    }
}

TEST(StreamBlock, FastPathsAgreeWithCharacterByCharacterOverAnyBlocking) {
    std::mt19937 rng(20270101);
    auto tables = velk::j2s::makeStreamTables(3);
    const std::vector<bool> widths = tables.wide ? std::vector<bool>{true, false} : std::vector<bool>{false};
    for (int round = 0; round < 60; ++round) {
        const std::string in = randomStream(rng);
        Logged expectedLog;
        const std::string expected = reference(in, expectedLog);
        for (bool wide : widths) {
            tables.wide = wide;
            for (std::size_t length : {1, 2, 7, 9, 64, 100, 1000, 100000}) {
                SCOPED_TRACE(testing::Message() << "round " << round << " length " << length << " wide " << wide);
                Logged logged;
                ASSERT_EQ(convertInBlocks(tables, in, length, logged), expected);
                ASSERT_EQ(logged, expectedLog);
            }
        }
    }
}

TEST(StreamBlock, BlockLengthFollowsRecordSizeOrFileSize) {
    EXPECT_EQ(velk::j2s::streamBlockLength(80, 1000000), 80);
    EXPECT_EQ(velk::j2s::streamBlockLength(0, 32760), 32760);
    EXPECT_EQ(velk::j2s::streamBlockLength(0, 32761), 16380);
    EXPECT_EQ(velk::j2s::streamBlockLength(0, 5000000000), 16380);
}

// Runs j2s under optLog 1 on input; returns the result and the output file.
velk::test::RunResult convertFile(const std::string& input, const std::string& recSize,
                                  std::string& output) {
    const std::string dir = velk::test::makeTempDir();
    velk::test::writeFile(dir + "/in.jef", input);
    auto r = velk::test::runVelk({"j2s", "1", "3", recSize, dir + "/in.jef", dir + "/out.txt"});
    output = velk::test::readFile(dir + "/out.txt");
    return r;
}

TEST(StreamFile, RecordsKeepTheirLengthAroundACarriedLeadByte) {
    const std::string a = bytes({0x82, 0xA0});  // JEF 0xA4A2
    struct Case {
        std::string in, recSize, out, exitLine;
    } cases[] = {
        // A lead byte at a record's end opens the next record, which keeps its length.
        {bytes({0x28, 0xA4, 0xA2, 0xA4, 0xA2, 0x29, 0xC1, 0xC2}), "4",
         a + "\r\n" + a + "A\r\nB\r\n", "\n終了コードは 3 です\n\n"},
        // Records of one byte: a kanji takes two rather than looping on its lead byte.
        {bytes({0x28, 0xA4, 0xA2, 0x29, 0xC1}), "1", "\r\n" + a + "\r\n\r\nA\r\n",
         "\n終了コードは 4 です\n\n"},
        {bytes({0x28, 0x29}), "2", "\r\n", "\n終了コードは 1 です\n\n"},
    };
    for (const Case& c : cases) {
        std::string output;
        const auto r = convertFile(c.in, c.recSize, output);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(output, c.out) << c.recSize;
        EXPECT_EQ(r.err, c.exitLine);
    }
}

TEST(StreamFile, UnmappedCharactersAreReplacedLoggedAndReported) {
    // Large enough for several blocks, so the logged positions cross block boundaries.
    std::string in(40000, static_cast<char>(0xC1));
    in[20000] = 0x00;
    in += bytes({0x28, 0xA4, 0xA2, 0xA4});  // ends on a lone lead byte
    std::string output;
    const auto r = convertFile(in, "0", output);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(output, std::string(20000, 'A') + ' ' + std::string(19999, 'A') + bytes({0x82, 0xA0, 0x20}));
    const auto at = r.err.find("に変換エラーのログを出力しました。");
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string logPath = r.err.substr(2, at - 2);
    EXPECT_EQ(velk::test::readFile(logPath),
              "EBCDIC->JIS 変換エラー(EBCDIC=0x00/20001バイト目)\n"
              "JEF->シフトJIS 変換エラー(JEF=0xa4/40004バイト目)\n");
    std::remove(logPath.c_str());
}

}  // namespace
