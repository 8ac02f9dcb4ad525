// The block loop: block boundaries, carried first bytes, progress, I/O failures.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "s2jconv/s2j_stream.h"

namespace {

using namespace velk::s2j;

// An input in memory and an output string; read or write number N can fail.
struct FakeFiles {
    explicit FakeFiles(std::string in) : input(std::move(in)) {}

    std::string input, output;
    std::size_t pos = 0;
    int failRead = 0, failWrite = 0, reads = 0, writes = 0;
    std::vector<std::string> errors;  // "line:column"
    std::vector<std::int64_t> progress;

    StreamOutcome run(std::size_t block, std::int64_t fileSize = -1) {
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
        std::vector<std::uint8_t> in(block), out(2 * block);
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

TEST(ConvertStream, FailuresStopTheRun) {
    FakeFiles read(std::string(10, 'A'));
    read.failRead = 2;
    const StreamOutcome r = read.run(4);
    EXPECT_EQ(r.status, StreamStatus::ReadFailed);
    EXPECT_EQ(r.error, EIO);
    EXPECT_EQ(read.output, std::string(4, '\xC1'));
    FakeFiles shiftOut("\x88\x9F");  // the final 0x29 is the second write
    shiftOut.failWrite = 2;
    const StreamOutcome w = shiftOut.run(2);
    EXPECT_EQ(w.status, StreamStatus::WriteFailed);
    EXPECT_EQ(w.error, ENOSPC);
}

}  // namespace
