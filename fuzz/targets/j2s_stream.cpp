// JEF/EBCDIC stream to Shift-JIS, and to UTF-8 (j2u). Input: one option
// byte (optConv 1..3), one recSize byte (0: no record length), then the data.
// The data goes three ways, which must agree:
//  - convertBlock over the whole data as one block;
//  - convertBlock block by block as the run's loop cuts them, carrying the
//    shift state and a trailing lead byte, each into an output buffer of
//    exactly the block's length, with the fast paths and without;
//  - convertStream, the real loop, over memory: with the input's size
//    known, and as a stream of unknown length from tiny buffers;
//  - j2u's blocks at every level against j2s's with j2u's narrowed tables,
//    each block's Shift-JIS turned into UTF-8 by the output stage.
#include <algorithm>

#include "fuzz_support.h"
#include "j2s_support.h"
#include "j2sconv/j2s_options.h"
#include "j2sconv/j2s_result.h"
#include "j2sconv/stream_convert.h"
#include "j2sconv/utf8_output.h"
#include "simd/level.h"

using namespace velk;
using namespace velk::j2s;

namespace {

struct Converted {
    std::vector<std::uint8_t> out;   // without line ends
    std::vector<std::uint8_t> file;  // as the run writes it
    std::vector<std::pair<ConversionError::Kind, std::uint16_t>> errors;
    std::vector<std::size_t> errorAt;  // offset in the data
};

// utf8Stage: each block's output is Shift-JIS to be turned into UTF-8.
Converted inBlocks(const CodeTables& tables, std::span<const std::uint8_t> data,
                   std::size_t length, bool lineEnds, bool utf8Stage = false) {
    Converted c;
    std::size_t position = 0;
    bool doubleByte = false, carried = false;
    std::vector<ConversionError> errors;
    while (position < data.size()) {
        const std::size_t want = carried && length == 1 ? 2 : length;
        const std::size_t n = std::min(want, data.size() - position);
        const bool endsFile = position + n == data.size();
        std::vector<std::uint8_t> out(blockOutputBound(tables, n));
        const BlockOutcome b =
            convertBlock(data.subspan(position, n), out.data(), tables, doubleByte, endsFile, errors);
        FUZZ_CHECK(b.outLength <= blockOutputBound(tables, n) && b.consumed <= n);
        FUZZ_CHECK(b.carried == (b.consumed < n));
        FUZZ_CHECK(!b.carried || (b.consumed == n - 1 && !endsFile && doubleByte));
        for (const ConversionError& e : errors) {
            FUZZ_CHECK(e.offset < n);
            c.errors.push_back({e.kind, e.code});
            c.errorAt.push_back(position + e.offset);
        }
        errors.clear();
        carried = b.carried;
        if (b.consumed == 0) {
            FUZZ_CHECK(carried && length == 1);  // the next block takes the whole kanji
            continue;
        }
        if (utf8Stage) {
            std::vector<std::uint8_t> utf8(utf8Capacity(b.outLength));
            utf8.resize(sjisToUtf8({out.data(), b.outLength}, utf8.data()));
            out = std::move(utf8);
        } else {
            out.resize(b.outLength);
        }
        c.out.insert(c.out.end(), out.begin(), out.end());
        c.file.insert(c.file.end(), out.begin(), out.end());
        if (lineEnds) {
            c.file.push_back(0x0D);
            c.file.push_back(0x0A);
        }
        position += b.consumed;
    }
    return c;
}

CodeTables withoutFastPaths(CodeTables t) {
    t.level = simd::Level::portable;
    t.jis.count = -1;
    t.plain.fill(0);  // every character through the slow step
    std::fill(t.plainPairs.begin(), t.plainPairs.end(), 0);
    std::fill(t.streamChars.begin(), t.streamChars.end(), 0);
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const CodeTables tables[3] = {makeCodeTables(decodeOptions(1, 0, 0, 0)),
                                         makeCodeTables(decodeOptions(2, 0, 0, 0)),
                                         makeCodeTables(decodeOptions(3, 0, 0, 0))};
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    const int optConv = 1 + options % 3;
    const int recSize = input.byte();
    const std::span<const std::uint8_t> text = input.rest();
    if (text.empty()) return 0;  // the run refuses an empty file before converting
    const CodeTables& t = tables[optConv - 1];

    const Converted whole = inBlocks(t, text, text.size(), false);
    const std::int64_t blockLength = streamBlockLength(recSize, static_cast<std::int64_t>(text.size()));
    FUZZ_CHECK(blockLength > 0);
    Converted split = inBlocks(t, text, static_cast<std::size_t>(blockLength), recSize != 0);
    FUZZ_CHECK(split.out == whole.out);
    FUZZ_CHECK(split.errors == whole.errors && split.errorAt == whole.errorAt);
    // The byte loops alone.
    static const CodeTables narrow[3] = {withoutFastPaths(tables[0]), withoutFastPaths(tables[1]),
                                           withoutFastPaths(tables[2])};
    const Converted plain = inBlocks(narrow[optConv - 1], text, static_cast<std::size_t>(blockLength), recSize != 0);
    FUZZ_CHECK(plain.file == split.file && plain.errors == split.errors && plain.errorAt == split.errorAt);
    // Every level this processor has against them.
    for (simd::Level level : simd::kLevels) {
        if (!simd::available(level)) continue;
        CodeTables leveled = t;
        leveled.level = level;
        const Converted fast = inBlocks(leveled, text, static_cast<std::size_t>(blockLength), recSize != 0);
        FUZZ_CHECK(plain.file == fast.file && plain.errors == fast.errors && plain.errorAt == fast.errorAt);
    }

    // j2u: its own loop at every level against j2s's loop with the same
    // narrowed tables and the UTF-8 stage after it.
    static const CodeTables utf8[3] = {makeCodeTables(decodeOptions(1, 0, 0, 0, true)),
                                       makeCodeTables(decodeOptions(2, 0, 0, 0, true)),
                                       makeCodeTables(decodeOptions(3, 0, 0, 0, true))};
    Options sjisOptions = decodeOptions(optConv, 0, 0, 0, true);
    sjisOptions.utf8 = false;  // the same narrowed tables, writing Shift-JIS
    const CodeTables staged = withoutFastPaths(makeCodeTables(sjisOptions));
    const Converted viaStage =
        inBlocks(staged, text, static_cast<std::size_t>(blockLength), recSize != 0, true);
    for (simd::Level level : simd::kLevels) {
        if (!simd::available(level)) continue;
        CodeTables leveled = utf8[optConv - 1];
        leveled.level = level;
        const Converted direct = inBlocks(leveled, text, static_cast<std::size_t>(blockLength), recSize != 0);
        FUZZ_CHECK(direct.file == viaStage.file && direct.errors == viaStage.errors &&
                   direct.errorAt == viaStage.errorAt);
    }

    // The real loop over memory. Its large buffers are allocated once for
    // the process, at their exact sizes.
    const Options opts = decodeOptions(optConv, recSize, 0, 0);
    const StreamJob job{blockLength, static_cast<std::int64_t>(text.size()), opts.addLineEnd};
    const BufferSizes sizes = streamBufferSizes(blockLength, job.inputSize);
    FUZZ_CHECK(sizes.in <= text.size() + 1 || sizes.in <= 2);
    static std::vector<std::uint8_t> in, out;
    in.resize(sizes.in);
    out.resize(sizes.out);
    fuzz::MemoryIo memory(text);
    const Outcome outcome = convertStream(t, job, in, out, memory.io);
    FUZZ_CHECK(!outcome.failed && memory.failures.empty());
    FUZZ_CHECK(memory.output == split.file);
    FUZZ_CHECK(outcome.unmapped == !whole.errors.empty());
    FUZZ_CHECK(memory.errors.size() == whole.errors.size());
    for (std::size_t k = 0; k < memory.errors.size(); ++k)
        FUZZ_CHECK(memory.errors[k].kind == whole.errors[k].first &&
                   memory.errors[k].code == whole.errors[k].second &&
                   memory.errors[k].offset == whole.errorAt[k]);
    FUZZ_CHECK(memory.lastProgress == static_cast<std::int64_t>(text.size()));
    const std::size_t lineEnds = recSize == 0 ? 0 : split.file.size() - split.out.size();
    FUZZ_CHECK(static_cast<std::size_t>(outcome.lineEnds) * 2 == lineEnds);

    // The same data as a stream of unknown length (a pipe), from buffers far
    // smaller than its blocks: they grow, and the end of the stream decides
    // what the file size decided.
    const StreamJob piped{blockLength, -1, opts.addLineEnd};
    std::vector<std::uint8_t> smallIn(options & 0x80 ? 0 : 3), smallOut(1);
    fuzz::MemoryIo pipe(text);
    const Outcome pipedOutcome = convertStream(t, piped, smallIn, smallOut, pipe.io);
    FUZZ_CHECK(!pipedOutcome.failed && pipe.output == memory.output);
    FUZZ_CHECK(pipe.errors.size() == memory.errors.size());
    for (std::size_t k = 0; k < pipe.errors.size(); ++k)
        FUZZ_CHECK(pipe.errors[k].kind == memory.errors[k].kind &&
                   pipe.errors[k].code == memory.errors[k].code &&
                   pipe.errors[k].offset == memory.errors[k].offset);
    FUZZ_CHECK(pipedOutcome.lineEnds == outcome.lineEnds);
    FUZZ_CHECK(pipe.lastProgress == memory.lastProgress);
    return 0;
}
