// JEF/EBCDIC stream to Shift-JIS. Input: one option byte (optConv 1..3,
// optLog), one recSize byte (0: no record length), then the data.
// The data goes three ways, which must agree:
//  - convertBlock over the whole data as one block;
//  - convertBlock block by block as the run's loop cuts them, carrying the
//    shift state and a trailing lead byte, each into an output buffer of
//    exactly the block's length, with the fast paths and without;
//  - convertStream, the real loop, from one memory file into another.
#include <algorithm>

#include "driver/file_io.h"
#include "fuzz_support.h"
#include "j2sconv/stream_convert.h"
#include "simd/level.h"

using namespace velk;
using namespace velk::j2s;

namespace {

struct Converted {
    std::vector<std::uint8_t> out;   // without line ends
    std::vector<std::uint8_t> file;  // as the run writes it
    std::vector<std::pair<StreamErrorKind, std::uint16_t>> errors;
    std::vector<std::size_t> errorAt;  // offset in the data
};

Converted inBlocks(const StreamTables& tables, std::span<const std::uint8_t> data,
                   std::size_t length, bool lineEnds) {
    Converted c;
    std::size_t position = 0;
    bool doubleByte = false, carried = false;
    std::vector<StreamError> errors;
    while (position < data.size()) {
        const std::size_t want = carried && length == 1 ? 2 : length;
        const std::size_t n = std::min(want, data.size() - position);
        const bool endsFile = position + n == data.size();
        std::vector<std::uint8_t> out(n);
        const BlockOutcome b =
            convertBlock(data.subspan(position, n), out.data(), tables, doubleByte, endsFile, errors);
        FUZZ_CHECK(b.outLength <= n && b.consumed <= n);
        FUZZ_CHECK(b.carried == (b.consumed < n));
        FUZZ_CHECK(!b.carried || (b.consumed == n - 1 && !endsFile && doubleByte));
        for (const StreamError& e : errors) {
            FUZZ_CHECK(e.index < n);
            c.errors.push_back({e.kind, e.code});
            c.errorAt.push_back(position + e.index);
        }
        errors.clear();
        carried = b.carried;
        if (b.consumed == 0) {
            FUZZ_CHECK(carried && length == 1);  // the next block takes the whole kanji
            continue;
        }
        c.out.insert(c.out.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(b.outLength));
        c.file.insert(c.file.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(b.outLength));
        if (lineEnds) {
            c.file.push_back(0x0D);
            c.file.push_back(0x0A);
        }
        position += b.consumed;
    }
    return c;
}

StreamTables withoutFastPaths(StreamTables t) {
    t.level = simd::Level::portable;
    t.jis.count = -1;
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemFile jef("jef"), sjis("sjis");
    static const StreamTables tables[3] = {makeStreamTables(1), makeStreamTables(2),
                                           makeStreamTables(3)};
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    const int optConv = 1 + options % 3;
    const int optLog = (options >> 2) & 1;
    const int recSize = input.byte();
    const std::span<const std::uint8_t> text = input.rest();
    if (text.empty()) return 0;  // the run refuses an empty file before converting
    const StreamTables& t = tables[optConv - 1];

    const Converted whole = inBlocks(t, text, text.size(), false);
    const std::int64_t blockLength = streamBlockLength(recSize, static_cast<std::int64_t>(text.size()));
    FUZZ_CHECK(blockLength > 0);
    Converted split = inBlocks(t, text, static_cast<std::size_t>(blockLength), recSize != 0);
    FUZZ_CHECK(split.out == whole.out);
    FUZZ_CHECK(split.errors == whole.errors && split.errorAt == whole.errorAt);
    // The byte loops alone, as on a processor without AVX-512.
    static const StreamTables narrow[3] = {withoutFastPaths(tables[0]), withoutFastPaths(tables[1]),
                                           withoutFastPaths(tables[2])};
    const Converted plain = inBlocks(narrow[optConv - 1], text, static_cast<std::size_t>(blockLength), recSize != 0);
    FUZZ_CHECK(plain.file == split.file && plain.errors == split.errors && plain.errorAt == split.errorAt);
    // Every level this processor has against them.
    for (simd::Level level : simd::kLevels) {
        if (!simd::available(level)) continue;
        StreamTables leveled = t;
        leveled.level = level;
        const Converted fast = inBlocks(leveled, text, static_cast<std::size_t>(blockLength), recSize != 0);
        FUZZ_CHECK(plain.file == fast.file && plain.errors == fast.errors && plain.errorAt == fast.errorAt);
    }

    // One run for the process: its large buffers are allocated once, at
    // their exact sizes, instead of on every input. Everything else is reset.
    static Run run;
    run.optLog = optLog;
    run.log = nullptr;
    run.patterns = {};
    jef.set(text);
    sjis.clear();
    run.jefFile = openInput(jef.path());
    FUZZ_CHECK(run.jefFile.isOpen());
    run.sjisFile = FileHandle(sjis.duplicate());
    run.jefSize = static_cast<std::int64_t>(text.size());
    run.addLineEnd = recSize != 0;
    const std::size_t inSize = streamBufferSize(blockLength);
    run.inBuf.resize(inSize);
    run.outBuf.resize(inSize + 2);
    const std::int32_t rc = convertStream(run, optConv, blockLength);
    run.sjisFile.close();
    run.jefFile.close();
    FUZZ_CHECK(sjis.contents() == split.file);
    if (!whole.errors.empty()) {
        FUZZ_CHECK(rc == -1);
    } else {
        const std::size_t lineEnds = recSize == 0 ? 0 : split.file.size() - split.out.size();
        FUZZ_CHECK(rc >= 0 && static_cast<std::size_t>(rc) * 2 == lineEnds);
    }
    return 0;
}
