// The u2j block loop over memory: sequences cut by block boundaries, the
// byte-order mark, progress, and messages that do not depend on where the
// blocks fall.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "u2jconv/u2j_stream.h"

namespace {

using namespace velk;

struct Result {
    std::string output;
    std::vector<std::string> errors;  // "kind value line:column"
    std::vector<std::int64_t> progress;
    u2j::CarriedState state;
};

// gather: output room beyond a block's, which the loop fills before writing.
Result convert(const std::string& in, std::size_t block, int optConv = 1, int optOther = 1,
               std::size_t gather = 0) {
    Result r;
    std::size_t pos = 0;
    u2j::StreamIo io{
        [&](std::uint8_t* p, std::size_t n) -> std::int64_t {
            n = std::min(n, in.size() - pos);
            std::memcpy(p, in.data() + pos, n);
            pos += n;
            return static_cast<std::int64_t>(n);
        },
        [&](const std::uint8_t* p, std::size_t n) {
            r.output.append(reinterpret_cast<const char*>(p), n);
            return true;
        },
        [&](std::span<const u2j::ConversionError> es) {
            for (const auto& e : es)
                r.errors.push_back(std::to_string(static_cast<int>(e.kind)) + " " +
                                   std::to_string(e.value) + " " + std::to_string(e.line) + ":" +
                                   std::to_string(e.column));
        },
        [&](std::int64_t done) { r.progress.push_back(done); },
    };
    std::vector<std::uint8_t> inBuf(block), out(2 * block + gather);
    const auto outcome =
        u2j::convertStream(u2j::makeTables(s2j::makeConverter(optConv, optOther)),
                           static_cast<std::int64_t>(in.size()), inBuf, out, io, r.state);
    EXPECT_EQ(outcome.status, s2j::StreamStatus::Finished);
    return r;
}

// Every kind of character and error, so that each meets a block boundary
// for some block size.
const std::string kMixed =
    "\xEF\xBB\xBF" "A\xE6\xBC\xA2\xE5\xAD\x97\r\n\xC3\xA9\t\xF0\x9F\x98\x80z\xE3\x81\n"
    "\xED\xA0\x80\xEF\xBD\xB1\xCE\xB1\xE6\xBC\xA2\x80\xE6\xBC";

TEST(U2jStream, OutputDoesNotDependOnBlockBoundaries) {
    const Result whole = convert(kMixed, kMixed.size());
    // Each error's message and position is pinned by the run_u2j tests.
    EXPECT_EQ(whole.errors.size(), 10u);
    for (std::size_t block = 4; block <= kMixed.size() + 1; ++block) {
        SCOPED_TRACE(block);
        const Result r = convert(kMixed, block);
        EXPECT_EQ(r.output, whole.output);
        EXPECT_EQ(r.errors, whole.errors);
        EXPECT_EQ(r.progress.back(), static_cast<std::int64_t>(kMixed.size()));
        EXPECT_TRUE(std::is_sorted(r.progress.begin(), r.progress.end()));
        EXPECT_EQ(convert(kMixed, block, 1, 1, 3 * block).output, whole.output) << "gathered";
    }
}

TEST(U2jStream, CutSequenceIsNotCountedAsDone) {
    const Result r = convert("ABC\xE6\xBC\xA2", 4);
    EXPECT_EQ(r.progress, (std::vector<std::int64_t>{3, 6}));
    EXPECT_EQ(r.output, "\xC1\xC2\xC3\x28\xB4\xC1\x29");
    EXPECT_TRUE(r.errors.empty());
}

TEST(U2jStream, ColumnsAfterLongLinesAndManyBlocks) {
    // A long first line of kanji, then errors on the next lines.
    std::string in;
    for (int k = 0; k < 5000; ++k) in += "\xE6\xBC\xA2";
    in += "\t\n" + std::string(3000, 'A') + "\t";
    const Result r = convert(in, 100, 4, 0);
    EXPECT_EQ(r.errors, (std::vector<std::string>{"1 9 1:5001", "1 9 2:3001"}));
    // Unmapped bytes and line ends inside runs of ASCII that go eight at a time.
    const Result a = convert("ABCDEFGHIJKLaNOPQRSTUVWXYZ0123\r\nABCDEFGHIJKLMNOPQRSTUVWXYZ", 64);
    EXPECT_EQ(a.errors, std::vector<std::string>{"1 97 1:13"});
    EXPECT_EQ(a.output.size(), 30u + 26u);
    EXPECT_EQ(a.output[12], '\x40');
}

}  // namespace
