// Pattern-driven conversion with trimming. Input: one option byte (optConv
// 1..3, optSkip, line ends, optLog), one byte for optTrim (0..8 as the
// driver maps it) and the read size, then the pattern file's text up to
// the first 0x00 byte, then the record data.
// The records go two ways, which must agree:
//  - convertRecords, the real loop, from one memory file into another;
//  - the same loop written out here over the public pieces (pattern
//    choice, record walk, trimming), with input arriving a few bytes per
//    read so that records are cut and resumed, and every record converted
//    and trimmed in buffers of exactly the promised size.
#include <algorithm>
#include <cstring>
#include <memory>

#include "driver/command_line.h"
#include "driver/file_io.h"
#include "fuzz_support.h"
#include "j2sconv/pattern_file.h"
#include "j2sconv/record_choice.h"
#include "j2sconv/record_convert.h"
#include "j2sconv/record_layout.h"
#include "j2sconv/record_walk.h"
#include "j2sconv/trim_fields.h"

using namespace velk;
using namespace velk::j2s;

namespace {

struct Options {
    int optConv;
    int optSkip;
    int trimFlags;
    bool addLineEnd;
    std::size_t readSize;  // bytes per read in the loop written out here
};

struct Converted {
    std::int32_t rc = 0;
    std::vector<std::uint8_t> file;
};

// The record loop over memory: at least 2 * readLength + 64 bytes in hand
// (or all that is left) before a record starts, more on demand.
Converted walkRecords(const PatternSet& set, std::size_t readLength,
                      std::span<const std::uint8_t> data, const Options& o) {
    Converted c;
    const RecordTables tables = recordTables(o.optConv, o.optSkip);
    std::vector<RecordLayout> layouts;
    for (const RecordPattern& p : set.patterns) layouts.push_back(layoutFor(p));
    if (readLength == 0) return c;

    std::size_t pos = 0, end = 0;  // the data in hand: [pos, end)
    bool eof = false;
    auto readInput = [&](std::size_t want) {
        while (!eof && end - pos < want) {
            const std::size_t got = std::min(o.readSize, data.size() - end);
            end += got;
            if (got < o.readSize) eof = true;
        }
    };
    bool unmapped = false;
    std::vector<ConversionError> errors;
    for (;;) {
        readInput(2 * readLength + 64);
        if (pos == end) break;
        const std::span<const std::uint8_t> head = data.subspan(pos, std::min(readLength, end - pos));
        const std::size_t chosen = choosePattern(set, head, tables.skipShift);
        FUZZ_CHECK(chosen < layouts.size());
        const RecordLayout& layout = layouts[chosen];
        if (!layout.hasData) {
            c.rc = -2;
            return c;
        }
        auto out = std::make_unique<std::uint8_t[]>(layout.maxOutput);
        RecordResult r;
        for (;;) {
            errors.clear();
            r = convertRecord(layout, data.subspan(pos, end - pos), eof, tables, out.get(), errors);
            if (r.status != RecordStatus::NeedInput) break;
            FUZZ_CHECK(!eof);
            readInput(end - pos + 1);
        }
        FUZZ_CHECK(r.length <= layout.maxOutput && r.used <= end - pos);
        if (r.status == RecordStatus::BadZonedRun || r.status == RecordStatus::BadPackedRun) {
            c.rc = -2;
            return c;
        }
        FUZZ_CHECK(r.used > 0);  // else the loop would never end
        for (const ConversionError& e : errors) FUZZ_CHECK(e.offset < r.used);
        unmapped = unmapped || !errors.empty();

        std::size_t length = r.length;
        if (o.trimFlags != 0) {
            // Trimmed in a buffer of exactly the record's length.
            auto record = std::make_unique<std::uint8_t[]>(length);
            std::memcpy(record.get(), out.get(), length);
            const std::size_t trimmed = trimFields(o.trimFlags, record.get(), length);
            FUZZ_CHECK(trimmed <= length);
            std::memcpy(out.get(), record.get(), trimmed);
            length = trimmed;
        }
        c.file.insert(c.file.end(), out.get(), out.get() + length);
        if (o.addLineEnd) {
            c.file.push_back(0x0D);
            c.file.push_back(0x0A);
            ++c.rc;
        }
        pos += r.used;
    }
    if (unmapped) c.rc = -1;
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemFile patterns("patterns"), jef("jef"), sjis("sjis");
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    const std::uint8_t second = input.byte();
    Options o;
    o.optConv = 1 + options % 3;
    o.optSkip = (options >> 2) & 1;
    o.addLineEnd = (options >> 3) & 1;
    const int optLog = (options >> 4) & 1;
    o.trimFlags = trimFlagsFor(second % 9);
    o.readSize = 1 + second / 9;
    patterns.set(input.until(0));
    const std::span<const std::uint8_t> records = input.rest();

    // One run for the process: its large buffers are allocated once, at
    // their exact sizes, instead of on every input. Everything else is reset.
    static Run run;
    run.optLog = optLog;
    run.log = nullptr;
    run.patterns = {};
    if (readPatternFile(run, o.optConv, patterns.path()) != 0) return 0;
    if (records.empty()) return 0;  // the run refuses an empty file before converting
    const PatternSizes sizes = summarisePatterns(run.patterns);

    // As the run sets it up.
    jef.set(records);
    sjis.clear();
    run.jefFile = openInput(jef.path());
    FUZZ_CHECK(run.jefFile.isOpen());
    run.sjisFile = FileHandle(sjis.duplicate());
    run.jefSize = static_cast<std::int64_t>(records.size());
    run.addLineEnd = o.addLineEnd;
    run.inBuf.resize(static_cast<std::size_t>(std::max<std::int64_t>(2 * sizes.maxSourceLength, 1)));
    run.outBuf.resize(static_cast<std::size_t>(2 * sizes.maxPatternLength + 2));
    const std::int32_t rc = convertRecords(run, o.optConv, o.optSkip, o.trimFlags, sizes.maxSourceLength);
    run.sjisFile.close();
    run.jefFile.close();

    const Converted walked = walkRecords(run.patterns, static_cast<std::size_t>(sizes.maxSourceLength),
                                         records, o);
    FUZZ_CHECK(rc == walked.rc);
    FUZZ_CHECK(sjis.contents() == walked.file);
    return 0;
}
