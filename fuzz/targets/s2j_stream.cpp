// Shift-JIS to JEF through the real block loop, over memory. Input: one
// option byte (optConv, optOther), one block-size byte, then the text.
// The text is converted once in blocks of the chosen size and once as a
// single block, and in blocks again by the byte loop alone: the outputs
// and errors must be the same.
#include <algorithm>
#include <cstring>

#include "fuzz_support.h"
#include "s2jconv/s2j_convert.h"
#include "simd/level.h"
#include "s2jconv/s2j_stream.h"

using namespace velk;

namespace {

struct Converted {
    std::vector<std::uint8_t> out;
    std::vector<s2j::ConversionError> errors;
    s2j::CarriedState state;
};

Converted convert(const s2j::Converter& conv, std::span<const std::uint8_t> text,
                  std::size_t block) {
    Converted c;
    // Exactly the sizes the loop is promised, on the heap, so that any
    // overrun is caught.
    std::vector<std::uint8_t> inBuf(block), outBuf(2 * block);
    std::size_t readAt = 0;
    std::int64_t lastProgress = 0;
    s2j::StreamIo io;
    io.read = [&](std::uint8_t* to, std::size_t n) -> std::int64_t {
        FUZZ_CHECK(n > 0 && to >= inBuf.data() && to + n <= inBuf.data() + inBuf.size());
        std::size_t k = std::min(n, text.size() - readAt);
        std::memcpy(to, text.data() + readAt, k);
        readAt += k;
        return static_cast<std::int64_t>(k);
    };
    io.write = [&](const std::uint8_t* from, std::size_t n) {
        c.out.insert(c.out.end(), from, from + n);
        return true;
    };
    io.reportErrors = [&](std::span<const s2j::ConversionError> errors) {
        c.errors.insert(c.errors.end(), errors.begin(), errors.end());
    };
    io.blockWritten = [&](std::int64_t done) {
        FUZZ_CHECK(done >= lastProgress && done <= static_cast<std::int64_t>(text.size()));
        lastProgress = done;
    };
    const s2j::StreamOutcome outcome = s2j::convertStream(
        conv, static_cast<std::int64_t>(text.size()), inBuf, outBuf, io, c.state);
    FUZZ_CHECK(outcome.status == s2j::StreamStatus::Finished);
    FUZZ_CHECK(readAt == text.size());
    return c;
}

bool sameErrors(const std::vector<s2j::ConversionError>& a,
                const std::vector<s2j::ConversionError>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].code != b[i].code || a[i].line != b[i].line ||
            a[i].column != b[i].column)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    static constexpr int convs[] = {1, 2, 3, 4, 9};
    const int optConv = convs[options % 5];
    const int optOther = (options >> 3) & 1;
    const std::uint8_t blockByte = input.byte();
    const std::span<const std::uint8_t> text = input.rest();

    const s2j::Converter conv = s2j::makeConverter(optConv, optOther);
    const std::size_t block = blockByte == 0xFF ? s2j::blockSizeFor(static_cast<std::int64_t>(text.size()))
                                                : 2 + blockByte % 64;
    const Converted split = convert(conv, text, block);
    const Converted whole = convert(conv, text, std::max<std::size_t>(2, text.size()));
    // Every level this processor has against the byte loop alone.
    s2j::Converter narrow = conv;
    narrow.level = simd::Level::portable;
    narrow.windows = false;
    narrow.kanjiWords = false;
    const Converted plain = convert(narrow, text, block);
    for (simd::Level level : simd::kLevels) {
        if (!simd::available(level)) continue;
        s2j::Converter leveled = conv;
        leveled.level = level;
        const Converted fast = convert(leveled, text, block);
        FUZZ_CHECK(plain.out == fast.out && sameErrors(plain.errors, fast.errors));
        FUZZ_CHECK(plain.state.errorCount == fast.state.errorCount);
    }
    FUZZ_CHECK(plain.out == split.out && sameErrors(plain.errors, split.errors));

    FUZZ_CHECK(split.out.size() <= 2 * text.size() + 1);
    FUZZ_CHECK(split.out == whole.out);
    FUZZ_CHECK(sameErrors(split.errors, whole.errors));
    FUZZ_CHECK(split.state.errorCount == whole.state.errorCount);
    FUZZ_CHECK(split.errors.size() ==
               static_cast<std::size_t>(std::min(split.state.errorCount, s2j::kErrorsRecorded)));
    // A line feed after a first byte is that kanji's second byte, not a line end.
    FUZZ_CHECK(split.state.lineFeeds == whole.state.lineFeeds);
    FUZZ_CHECK(split.state.lineFeeds <= std::count(text.begin(), text.end(), std::uint8_t{'\n'}));
    FUZZ_CHECK(!split.state.kanjiOpen);
    for (const s2j::ConversionError& e : split.errors) FUZZ_CHECK(e.line >= 1 && e.column >= 1);
    return 0;
}
