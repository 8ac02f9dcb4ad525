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

TEST(StreamBlock, ConvertsShiftCodedBytes) {
    using K = StreamErrorKind;
    struct Case {
        std::string in;
        bool doubleByteBefore, endsFile;
        std::string out;
        bool doubleByteAfter, carried;
        std::vector<std::pair<K, std::uint16_t>> errors;
    } cases[] = {
        {bytes({0x28, 0xA1, 0xA1, 0x29, 0xC1}), false, true, bytes({0x81, 0x40, 0x41}), false, false, {}},
        {bytes({0x38, 0xA4, 0xA2, 0x28, 0xA4, 0xA2}), false, true, bytes({0x82, 0xA0, 0x82, 0xA0}), true, false, {}},
        {bytes({0x28, 0x29}), false, true, "", false, false, {}},
        {bytes({0xA4, 0xA2, 0x29, 0x81}), true, true, bytes({0x82, 0xA0, 0x61}), false, false, {}},
        {bytes({0xC1, 0x00, 0xC2}), false, true, "A B", false, false, {{K::SingleByte, 0x00}}},
        {bytes({0x28, 0xFF, 0x29}), false, true, bytes({0x81, 0x40}), true, false, {{K::Kanji, 0xFF29}}},
        {bytes({0x28, 0xA4, 0xA2, 0xA4}), false, false, bytes({0x82, 0xA0}), true, true, {}},
        {bytes({0x28, 0xA4, 0xA2, 0xA4}), false, true, bytes({0x82, 0xA0, 0x20}), true, false, {{K::LoneLead, 0xA4}}},
    };
    const auto tables = velk::j2s::makeStreamTables(3);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.in));
        std::vector<std::uint8_t> in(c.in.begin(), c.in.end()), out(in.size());
        std::vector<StreamError> errors;
        bool doubleByte = c.doubleByteBefore;
        const auto r = velk::j2s::convertBlock(in, out.data(), tables, doubleByte, c.endsFile, errors);
        EXPECT_EQ(std::string(out.begin(), out.begin() + static_cast<long>(r.outLength)), c.out);
        EXPECT_EQ(doubleByte, c.doubleByteAfter);
        EXPECT_EQ(r.carried, c.carried);
        EXPECT_EQ(r.consumed, in.size() - (c.carried ? 1 : 0));
        std::vector<std::pair<K, std::uint16_t>> got;
        for (const StreamError& e : errors) got.emplace_back(e.kind, e.code);
        EXPECT_EQ(got, c.errors);
    }
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
                std::string out;
                Logged logged;
                std::vector<StreamError> errors;
                bool doubleByte = false, carried = false;
                for (std::size_t pos = 0; pos < in.size();) {
                    const std::size_t n = std::min(carried && length == 1 ? 2 : length, in.size() - pos);
                    std::vector<std::uint8_t> block(in.begin() + static_cast<long>(pos),
                                                    in.begin() + static_cast<long>(pos + n)), dst(n);
                    const auto r = velk::j2s::convertBlock(block, dst.data(), tables, doubleByte,
                                                           pos + n == in.size(), errors);
                    for (const StreamError& e : errors) logged.emplace_back(e.kind, e.code, pos + e.index);
                    errors.clear();
                    carried = r.carried;
                    out.append(dst.begin(), dst.begin() + static_cast<long>(r.outLength));
                    pos += r.consumed;
                }
                ASSERT_EQ(out, expected);
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

struct FileRun {
    int status;
    std::string output, stdoutText, stderrText;
};

FileRun convertFile(const std::string& input, const std::string& recSize, const std::string& optLog = "1") {
    const std::string dir = velk::test::makeTempDir();
    velk::test::writeFile(dir + "/in.jef", input);
    const auto r = velk::test::runVelk({"j2s", optLog, "3", recSize, dir + "/in.jef", dir + "/out.txt"});
    return {r.status, velk::test::readFile(dir + "/out.txt"), r.out, r.err};
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
        {bytes({0x28, 0xA4, 0xA2, 0x29, 0xC1}), "0", a + "A", "\n終了コードは 0 です\n\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recSize);
        FileRun r = convertFile(c.in, c.recSize);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.output, c.out);
        EXPECT_EQ(r.stderrText, c.exitLine);
    }
}

TEST(StreamFile, UnmappedCharactersAreReplacedLoggedAndReported) {
    // Large enough for several blocks, so the logged positions cross block boundaries.
    std::string in(40000, static_cast<char>(0xC1));
    in[20000] = 0x00;
    in += bytes({0x28, 0xA4, 0xA2, 0xA4});  // ends on a lone lead byte
    FileRun r = convertFile(in, "0");
    EXPECT_EQ(r.status, 1);
    ASSERT_EQ(r.output.size(), 40003u);
    EXPECT_EQ(r.output[20000], ' ');
    EXPECT_EQ(r.output.substr(40000), bytes({0x82, 0xA0, 0x20}));
    const std::string notice = "に変換エラーのログを出力しました。\n\n";
    const auto at = r.stderrText.find(notice);
    ASSERT_NE(at, std::string::npos) << r.stderrText;
    const std::string logPath = r.stderrText.substr(2, at - 2);
    EXPECT_EQ(velk::test::readFile(logPath),
              "EBCDIC->JIS 変換エラー(EBCDIC=0x00/20001バイト目)\n"
              "JEF->シフトJIS 変換エラー(JEF=0xa4/40004バイト目)\n");
    std::remove(logPath.c_str());
}

}  // namespace
