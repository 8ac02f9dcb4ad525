// The in-memory conversion (tables, shift codes, substitutes, positions),
// then the block loop around it (block boundaries, carried first bytes,
// progress, I/O failures).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "s2jconv/s2j_convert.h"
#include "s2jconv/s2j_stream.h"

namespace {

using namespace velk::s2j;
using namespace std::string_literals;

struct Converted {
    std::string out;
    std::vector<std::string> errors;  // "J61@1:2": single byte 0x61 at line 1, column 2; K kanji
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
    for (const auto& e : errors) {
        char text[64];
        std::snprintf(text, sizeof text, "%c%x@%lld:%lld", e.kind == ErrorKind::SingleByte ? 'J' : 'K',
                      unsigned{e.code}, static_cast<long long>(e.line), static_cast<long long>(e.column));
        c.errors.push_back(text);
    }
    return c;
}

TEST(ConvertBlock, Cases) {
    const struct {
        const char* name;
        std::string in;
        int optConv, optOther;
        std::string out;
        std::vector<std::string> errors;
        std::int64_t lineFeeds;
    } cases[] = {
        {"lower case upper-cased", "abc", 2, 0, "\xC1\xC2\xC3", {}, 0},
        {"ascii table", "abc\\$", 4, 0, "\x81\x82\x83\xE0\x5B", {}, 0},
        {"NUL has no mapping even under 9", "\0"s, 9, 0, "\x40", {"J0@1:1"}, 0},
        {"katakana is an error under lower case", "\xB1", 3, 0, "\x40", {"Jb1@1:1"}, 0},
        {"kanji run bracketed", "A\x88\x9F" "B", 1, 1, "\xC1\x28\xB0\xA1\x29\xC2", {}, 0},
        {"line end keeps the run open", "\x88\x9F\r\n\x88\x9F", 1, 1, "\x28\xB0\xA1\xB0\xA1\x29", {}, 1},
        {"dangling first byte closes the run before its substitute", "A\x88\x9F\x88", 1, 1,
         "\xC1\x28\xB0\xA1\x29\x40", {"K88@1:4"}, 0},
        {"first byte 0x80", "\x80\x41", 1, 0, "\x40\x40", {"K8041@1:1"}, 0},
        {"user-defined area is a mapping", "\xF0\x40\xF0\x9F", 1, 0, "\xFF\xA1\x00\xA1"s, {}, 0},
        {"LF as a second byte is no line end", "\x81\x0A\t", 1, 0, "\xA1\x6B\x40", {"J9@1:3"}, 0},
        {"CR counts as a column", "A\r\x01", 4, 0, "\xC1\x40", {"J1@1:3"}, 0},
        {"line and column after LF", "ab\nc\x01\r\n\x7F", 4, 0, "\x81\x82\x83\x40\x40",
         {"J1@2:2", "J7f@3:1"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Converted r = convertAll(c.in, c.optConv, c.optOther);
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
    EXPECT_EQ(convertAll("\n\t", 1, 0, start).errors, std::vector<std::string>{"J9@3000000002:1"});
    EXPECT_EQ(convertAll("\t", 1, 0, start).errors, std::vector<std::string>{"J9@3000000001:1000000001"});
}

// An input in memory and an output string; read or write number N can fail.
struct FakeFiles {
    explicit FakeFiles(std::string in) : input(std::move(in)) {}

    std::string input, output;
    std::size_t pos = 0;
    int failRead = 0, failWrite = 0, reads = 0, writes = 0;
    std::vector<std::string> errors;  // "line:column"
    std::vector<std::int64_t> progress;

    // gather: output room beyond a block's, which the loop fills before writing.
    StreamOutcome run(std::size_t block, std::int64_t fileSize = -1, std::size_t gather = 0) {
        StreamIo io{
            [this](std::uint8_t* p, std::size_t n) -> std::int64_t {
                if (++reads == failRead) return errno = EIO, -1;
                n = std::min(n, input.size() - pos);
                std::memcpy(p, input.data() + pos, n);
                pos += n;
                return static_cast<std::int64_t>(n);
            },
            [this](const std::uint8_t* p, std::size_t n) {
                if (++writes == failWrite) return errno = ENOSPC, false;
                output.append(reinterpret_cast<const char*>(p), n);
                return true;
            },
            [this](std::span<const ConversionError> es) {
                for (const auto& e : es)
                    errors.push_back(std::to_string(e.line) + ":" + std::to_string(e.column));
            },
            [this](std::int64_t done) { progress.push_back(done); },
        };
        std::vector<std::uint8_t> in(block), out(2 * block + gather);
        CarriedState state;
        if (fileSize < 0) fileSize = static_cast<std::int64_t>(input.size());
        return convertStream(makeConverter(1, 1), fileSize, in, out, io, state);
    }
};

// Kanji, errors, line ends and a lone first byte at the very end, so that
// every kind of byte meets a block boundary for some block size.
const std::string kMixed =
    "AB\x88\x9F\x88\x9F\r\n\x88\xA0\t\x87\x7E\nXYZ\x88\x9F" "C\x81\x0A\t\x88\x9F\r\n\x88";

TEST(ConvertStream, OutputDoesNotDependOnBlockBoundaries) {
    FakeFiles whole(kMixed);
    ASSERT_EQ(whole.run(kMixed.size()).status, StreamStatus::Finished);
    EXPECT_EQ(whole.errors, (std::vector<std::string>{"2:3", "2:4", "3:9", "4:1"}));
    for (std::size_t block = 2; block <= kMixed.size() + 1; ++block) {
        SCOPED_TRACE(block);
        FakeFiles f(kMixed);
        ASSERT_EQ(f.run(block).status, StreamStatus::Finished);
        EXPECT_EQ(f.output, whole.output);
        EXPECT_EQ(f.errors, whole.errors);
        EXPECT_EQ(f.progress.back(), static_cast<std::int64_t>(kMixed.size()));
    }
}

TEST(ConvertStream, CarriedFirstByteIsNotCountedAsDone) {
    FakeFiles f("ABC\x88\x9F" "D");
    ASSERT_EQ(f.run(4).status, StreamStatus::Finished);
    EXPECT_EQ(f.progress, (std::vector<std::int64_t>{3, 6}));
    EXPECT_EQ(f.output, "\xC1\xC2\xC3\x28\xB0\xA1\x29\xC4");
    FakeFiles shrunk("ABC\x88");  // shorter than its size said: still ends
    ASSERT_EQ(shrunk.run(4, 100).status, StreamStatus::Finished);
    EXPECT_EQ(shrunk.output, "\xC1\xC2\xC3\x40");
}

TEST(ConvertStream, GatheredOutputIsTheSameInFewerWrites) {
    FakeFiles each(kMixed), gathered(kMixed);
    ASSERT_EQ(each.run(4).status, StreamStatus::Finished);
    ASSERT_EQ(gathered.run(4, -1, 16).status, StreamStatus::Finished);
    EXPECT_EQ(gathered.output, each.output);
    EXPECT_EQ(gathered.errors, each.errors);
    EXPECT_EQ(gathered.progress, each.progress);
    EXPECT_LT(gathered.writes, each.writes / 2);
}

TEST(ConvertStream, FailuresStopTheRun) {
    // What was converted before a failed read is written, gathered or not.
    for (std::size_t gather : {0, 16}) {
        FakeFiles read(std::string(10, 'A'));
        read.failRead = 3;
        const StreamOutcome r = read.run(4, -1, gather);
        EXPECT_EQ(r.status, StreamStatus::ReadFailed);
        EXPECT_EQ(r.error, EIO);
        EXPECT_EQ(read.output, std::string(8, '\xC1'));
    }
    FakeFiles shiftOut("\x88\x9F");  // the final 0x29 is the second write
    shiftOut.failWrite = 2;
    const StreamOutcome w = shiftOut.run(2);
    EXPECT_EQ(w.status, StreamStatus::WriteFailed);
    EXPECT_EQ(w.error, ENOSPC);
}

}  // namespace
