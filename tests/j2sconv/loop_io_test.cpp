// The j2s loops over their callbacks: faults that files rarely show on
// demand (a read or write failing at a chosen call), the order in which
// they are reported, and what reaches the output first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "j2sconv/j2s_options.h"
#include "j2sconv/pattern_file.h"
#include "j2sconv/record_convert.h"
#include "j2sconv/stream_convert.h"
#include "tblank/single_byte_tables.h"

namespace {

using namespace velk;
using namespace velk::j2s;

// Input and output in memory; the read and write calls numbered from 1
// fail from failRead / failWrite on (0: never).
struct FaultyIo {
    std::string input, output;
    std::size_t at = 0;
    int reads = 0, writes = 0, failRead = 0, failWrite = 0;
    std::vector<Failure> failures;
    Io io;

    FaultyIo(std::string in, int badRead, int badWrite)
        : input(std::move(in)), failRead(badRead), failWrite(badWrite) {
        io.read = [this](std::uint8_t* p, std::size_t n) -> std::int64_t {
            if (++reads == failRead) return -1;
            const std::size_t got = std::min(n, input.size() - at);
            std::memcpy(p, input.data() + at, got);
            at += got;
            return static_cast<std::int64_t>(got);
        };
        io.write = [this](const std::uint8_t* p, std::size_t n) {
            if (++writes >= failWrite && failWrite != 0) {
                errno = ENOSPC;
                return false;
            }
            output.append(reinterpret_cast<const char*>(p), n);
            return true;
        };
        io.reportErrors = [](std::span<const ConversionError>, std::int64_t) {};
        io.failed = [this](Failure f, int) { failures.push_back(f); };
        io.progress = [](std::int64_t) {};
    }
};

using Failures = std::vector<Failure>;

TEST(LoopIo, StreamFaults) {
    const CodeTables tables = makeCodeTables(decodeOptions(3, 0, 0, 0));
    const std::string in(300000, '\xC1');  // more than one read
    const struct {
        int badRead, badWrite;
        Failures failures;
        std::size_t written;
    } cases[] = {
        {0, 0, {}, in.size()},
        // What was converted is written before the failed read is said...
        {2, 0, {Failure::ReadFailed}, 16 * 16380},
        {2, 1, {Failure::WriteFailed}, 0},  // ...and when that write fails, only it is said.
        {0, 2, {Failure::WriteFailed}, 16 * 16380},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.badRead << "/" << c.badWrite);
        FaultyIo f(in, c.badRead, c.badWrite);
        const BufferSizes sizes = streamBufferSizes(16380, static_cast<std::int64_t>(in.size()));
        std::vector<std::uint8_t> inBuf(sizes.in), outBuf(sizes.out);
        const Outcome o = convertStream(tables, {16380, static_cast<std::int64_t>(in.size()), false},
                                        inBuf, outBuf, f.io);
        EXPECT_EQ(f.failures, c.failures);
        EXPECT_EQ(o.failed, !c.failures.empty());
        if (o.failed) {
            EXPECT_EQ(o.failure, c.failures.front());
        }
        EXPECT_EQ(f.output.size(), c.written);
        EXPECT_EQ(f.output.find_first_not_of('A'), std::string::npos);
    }
}

TEST(LoopIo, StreamBuffersFollowTheInputAndGrowOnlyWithIt) {
    const CodeTables tables = makeCodeTables(decodeOptions(3, 0, 0, 0));
    const struct {
        std::int64_t recSize;
        std::size_t bytes;      // in the input
        std::int64_t sizeSaid;  // inputSize given to the loop: -1 a stream; less than bytes: the file grew
        std::size_t startIn;    // streamBufferSizes(...).in
    } cases[] = {
        {2000000000, 188, 188, 189},  // a slip in recSize takes only what the file holds
        {2000000000, 188, -1, kIoBytes},
        {0, 188, 188, 189},
        {16380, 1000000, 1000000, kIoBytes},
        {300000, 700000, 700000, 300001},
        {300000, 700000, -1, kIoBytes},  // the stream's blocks outrun one read
        {500, 1000, 10, 11},             // the file grew after it was opened
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.recSize << " " << c.bytes << " " << c.sizeSaid);
        const std::int64_t block =
            streamBlockLength(static_cast<std::int32_t>(c.recSize), c.sizeSaid);
        const BufferSizes sizes = streamBufferSizes(block, c.sizeSaid);
        EXPECT_EQ(sizes.in, c.startIn);
        EXPECT_EQ(sizes.out, c.startIn + 2);
        std::vector<std::uint8_t> inBuf(sizes.in), outBuf(sizes.out);
        FaultyIo f(std::string(c.bytes, '\xC1'), 0, 0);
        const bool lineEnds = c.recSize != 0;
        const Outcome o = convertStream(tables, {block, c.sizeSaid, lineEnds}, inBuf, outBuf, f.io);
        EXPECT_FALSE(o.failed);
        std::string expected;
        for (std::size_t at = 0; at < c.bytes; at += static_cast<std::size_t>(block)) {
            expected += std::string(std::min<std::size_t>(c.bytes - at, block), 'A');
            if (lineEnds) expected += "\r\n";
        }
        EXPECT_EQ(f.output, expected);
        // A block and the byte after it, at most.
        EXPECT_LE(inBuf.size(), std::max<std::size_t>(sizes.in, block + 1));
    }
}

TEST(LoopIo, RecordFaultsAreReportedInOrder) {
    const CodeTables tables = makeCodeTables(decodeOptions(3, 0, 0, 0));
    const struct {
        std::string pattern, in;
        int badRead, badWrite;
        Failures failures;
        std::string output;
    } cases[] = {
        {"XX", "\xC1\xC2\xC3\xC4", 0, 0, {}, "AB\r\nCD\r\n"},
        {"XX", "\xC1\xC2\xC3\xC4", 1, 0, {Failure::ReadFailed}, ""},
        {"XX", "\xC1\xC2\xC3\xC4", 0, 1, {Failure::WriteFailed}, ""},
        // The pattern's fault is said first, then the flush of what came before it fails.
        {"1:A:X\n1:B:S.\n", "\xC1\xC1\xC2", 0, 1, {Failure::BadZonedRun, Failure::WriteFailed}, ""},
        {"1:A:X\n1:B:S.\n", "\xC1\xC1\xC2", 0, 0, {Failure::BadZonedRun}, "A\r\nA\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        PatternSet set;
        for (std::size_t from = 0; from < c.pattern.size();) {
            const std::size_t end = std::min(c.pattern.find('\n', from), c.pattern.size());
            RecordPattern p;
            ASSERT_EQ(parsePatternLine(c.pattern.substr(from, end - from), a2eAscii, p).error,
                      LineError::None);
            set.patterns.push_back(p);
            from = end + 1;
        }
        ASSERT_EQ(finishPatternSet(set), SetError::None);
        const RecordPlan plan = planRecords(set);
        const BufferSizes sizes = recordBufferSizes(plan.readLength, plan.recordMax);
        std::vector<std::uint8_t> inBuf(sizes.in), outBuf(sizes.out);
        FaultyIo f(c.in, c.badRead, c.badWrite);
        const Outcome o = convertRecords(plan, tables, {0, true}, inBuf, outBuf, f.io);
        EXPECT_EQ(f.failures, c.failures);
        if (o.failed) {
            EXPECT_EQ(o.failure, c.failures.front());
        }
        EXPECT_EQ(f.output, c.output);
    }
}

}  // namespace
