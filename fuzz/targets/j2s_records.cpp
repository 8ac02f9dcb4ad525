// Pattern-driven conversion with trimming (binary positions included). Input: one option byte (optConv
// 1..3, optSkip, line ends, j2u's tables), one byte for optTrim (0..8 as the
// driver maps it) and the read size, then the pattern file's text up to
// the first 0x00 byte, then the record data.
// The records go two ways, which must agree:
//  - convertRecords, the real loop, over memory;
//  - the same loop written out here over the public pieces (pattern
//    choice, record walk, trimming; at every level this processor has), with input arriving a few bytes per
//    read so that records are cut and resumed, and every record converted
//    and trimmed in buffers of exactly the promised size, and trimming
//    checked against a plain version of it, and the walk's own trimming
//    against both.
#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "j2s_support.h"
#include "j2sconv/j2s_options.h"
#include "j2sconv/j2s_result.h"
#include "j2sconv/pattern_file.h"
#include "j2sconv/record_choice.h"
#include "j2sconv/record_convert.h"
#include "j2sconv/record_layout.h"
#include "j2sconv/record_walk.h"
#include "j2sconv/trim_fields.h"
#include "simd/level.h"

using namespace velk;
using namespace velk::j2s;

namespace {

struct Choices {
    int optConv;
    int optSkip;
    int trimFlags;
    bool addLineEnd;
    bool utf8;             // j2u's narrowed tables (the walk writes Shift-JIS either way)
    std::size_t readSize;  // bytes per read in the loop written out here
    simd::Level level;     // of the record walk's fast paths in the loop here
};

struct Converted {
    std::int32_t rc = 0;
    std::vector<std::uint8_t> file;
};

// Trimming written plainly, character by character, to hold the fast
// version to: fields split at commas (empty ones dropped), quotes kept, the
// pad a blank, or a full-width blank when the content starts with a lead
// byte, in which case the content is walked in whole characters.
bool isLead(std::uint8_t b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

std::vector<std::uint8_t> trimPlainly(int flags, std::span<const std::uint8_t> record) {
    std::vector<std::vector<std::uint8_t>> fields;
    for (std::size_t i = 0; i < record.size();) {
        std::size_t e = i;
        while (e < record.size() && record[e] != ',') ++e;
        if (e > i) fields.emplace_back(record.begin() + i, record.begin() + e);
        i = e + 1;
    }
    if (fields.empty()) return {record.begin(), record.end()};
    std::vector<std::uint8_t> out;
    for (const std::vector<std::uint8_t>& f : fields) {
        if (&f != &fields.front()) out.push_back(',');  // also after a field trimmed to nothing
        const bool quoted = f.size() >= 2 && f.front() == '"' && f.back() == '"';
        const std::size_t cb = quoted ? 1 : 0, ce = quoted ? f.size() - 1 : f.size();
        const bool doubleByte = cb < ce && isLead(f[cb]);
        if (!doubleByte && (flags & trimDoubleOnly)) {
            out.insert(out.end(), f.begin(), f.end());
            continue;
        }
        // The content as characters, each marked pad or not.
        std::vector<std::pair<std::vector<std::uint8_t>, bool>> chars;
        for (std::size_t i = cb; i < ce;) {
            const std::size_t w = doubleByte && isLead(f[i]) && i + 1 < ce ? 2 : 1;
            std::vector<std::uint8_t> c(f.begin() + i, f.begin() + i + w);
            const bool pad = doubleByte ? (w == 2 && c[0] == 0x81 && c[1] == 0x40) : c[0] == ' ';
            chars.push_back({std::move(c), pad});
            i += w;
        }
        std::size_t from = 0, to = chars.size();
        if (flags & (trimSqueeze | trimStart))
            while (from < to && chars[from].second) ++from;
        if (flags & (trimSqueeze | trimEnd))
            while (to > from && chars[to - 1].second) --to;
        if (quoted) out.push_back('"');
        for (std::size_t k = from; k < to; ++k) {
            if ((flags & trimSqueeze) && k > from && chars[k].second && chars[k - 1].second) continue;
            out.insert(out.end(), chars[k].first.begin(), chars[k].first.end());
        }
        if (quoted) out.push_back('"');
    }
    return out;
}

// trimFields over an exact-size copy of record, against the plain version.
std::size_t checkTrim(int flags, std::uint8_t* record, std::size_t length) {
    if (length == 0) return trimFields(flags, record, 0);
    auto copy = std::make_unique<std::uint8_t[]>(length);
    std::memcpy(copy.get(), record, length);
    const std::vector<std::uint8_t> expected = trimPlainly(flags, {copy.get(), length});
    const std::size_t trimmed = trimFields(flags, copy.get(), length);
    FUZZ_CHECK(trimmed <= length);
    if (std::vector<std::uint8_t>(copy.get(), copy.get() + trimmed) != expected) {
        auto dump = [](const char* what, const std::uint8_t* p, std::size_t n) {
            std::fprintf(stderr, "%s:", what);
            for (std::size_t i = 0; i < n; ++i) std::fprintf(stderr, " %02x", p[i]);
            std::fprintf(stderr, "\n");
        };
        std::fprintf(stderr, "trimFlags %d\n", flags);
        dump("record  ", record, length);
        dump("trimmed ", copy.get(), trimmed);
        dump("expected", expected.data(), expected.size());
        fuzz::fail("trimmed as the plain version does", __FILE__, __LINE__);
    }
    // Every level this processor has, the byte walk (portable) among them.
    for (simd::Level level : simd::kLevels) {
        if (!simd::available(level)) continue;
        std::memcpy(copy.get(), record, length);
        FUZZ_CHECK(trimFields(flags, copy.get(), length, level) == expected.size());
        FUZZ_CHECK(std::equal(expected.begin(), expected.end(), copy.get()));
    }
    if (!expected.empty()) std::memcpy(record, expected.data(), expected.size());
    return trimmed;
}

// The record loop over memory: at least 2 * readLength + 64 bytes in hand
// (or all that is left) before a record starts, more on demand.
Converted walkRecords(const PatternSet& set, std::size_t readLength,
                      std::span<const std::uint8_t> data, const Choices& o) {
    Converted c;
    CodeTables tables = makeCodeTables(decodeOptions(o.optConv, 0, o.optSkip, 0, o.utf8));
    tables.level = o.level;
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
            c.rc = kBadPattern;
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
        if (r.status == RecordStatus::BadZonedRun || r.status == RecordStatus::BadPackedRun ||
            r.status == RecordStatus::BadBinaryRun) {
            c.rc = kBadPattern;
            return c;
        }
        FUZZ_CHECK(r.used > 0);  // else the loop would never end
        for (const ConversionError& e : errors) FUZZ_CHECK(e.offset < r.used);
        unmapped = unmapped || !errors.empty();

        std::size_t length = r.length;
        if (o.trimFlags != 0) {
            length = checkTrim(o.trimFlags, out.get(), length);
            // The walk trimming as it goes, in exactly its promised room.
            auto trimmed = std::make_unique<std::uint8_t[]>(layout.maxOutput + kTrimRoom);
            std::vector<ConversionError> again;
            const RecordResult t = convertRecord(layout, data.subspan(pos, end - pos), eof, tables,
                                                 trimmed.get(), again, o.trimFlags);
            FUZZ_CHECK(t.status == r.status && t.used == r.used && t.length == length);
            FUZZ_CHECK(std::equal(out.get(), out.get() + length, trimmed.get()));
            FUZZ_CHECK(again.size() == errors.size());
        }
        c.file.insert(c.file.end(), out.get(), out.get() + length);
        if (o.addLineEnd) {
            c.file.push_back(0x0D);
            c.file.push_back(0x0A);
            ++c.rc;
        }
        pos += r.used;
    }
    if (unmapped) c.rc = kUnmapped;
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    const std::uint8_t second = input.byte();
    Choices o;
    o.optConv = 1 + options % 3;
    o.optSkip = (options >> 2) & 1;
    o.addLineEnd = (options >> 3) & 1;
    o.utf8 = (options >> 4) & 1;
    o.trimFlags = trimFlagsFor(second % 9);
    o.readSize = 1 + second / 9;
    const std::span<const std::uint8_t> patternText = input.until(0);
    const std::span<const std::uint8_t> records = input.rest();

    // The record bytes as they are, trimmed under every setting: more
    // shapes of fields than converted records have.
    for (int optTrim = 1; optTrim <= 8; ++optTrim) {
        std::vector<std::uint8_t> raw(records.begin(), records.end());
        checkTrim(trimFlagsFor(optTrim), raw.data(), raw.size());
    }

    // The worker's set-up, over memory.
    const j2s::Options opts = decodeOptions(o.optConv, o.addLineEnd ? 1 : 0, o.optSkip, o.trimFlags, o.utf8);
    PatternSet set;
    if (fuzz::loadPatterns(patternText, *opts.a2e, set) != 0) return 0;
    if (records.empty()) return 0;  // the run refuses an empty file before converting
    const RecordPlan plan = planRecords(set);
    FUZZ_CHECK(static_cast<std::int64_t>(plan.readLength) == summarisePatterns(set).maxSourceLength);
    const BufferSizes sizes = recordBufferSizes(plan.readLength, plan.recordMax);
    // Allocated once for the process, at their exact sizes.
    static std::vector<std::uint8_t> in, out;
    in.resize(sizes.in);
    out.resize(sizes.out);
    const CodeTables tables = makeCodeTables(opts);
    const RecordJob job{opts.trimFlags, opts.addLineEnd};
    fuzz::MemoryIo memory(records);
    const Outcome outcome = convertRecords(plan, tables, job, in, out, memory.io);

    // The walk at every level this processor has, portable among them.
    for (simd::Level level : simd::kLevels) {
        if (!simd::available(level)) continue;
        o.level = level;
        const Converted walked = walkRecords(set, plan.readLength, records, o);
        if (outcome.failed) {
            FUZZ_CHECK(walked.rc == kBadPattern && outcome.failure != Failure::ReadFailed &&
                       outcome.failure != Failure::WriteFailed && outcome.failure != Failure::NoMemory);
            FUZZ_CHECK(memory.failures.size() == 1);
        } else {
            FUZZ_CHECK(memory.failures.empty());
            FUZZ_CHECK(outcome.unmapped == (walked.rc == kUnmapped));
            if (!outcome.unmapped) FUZZ_CHECK(outcome.lineEnds == walked.rc);
        }
        FUZZ_CHECK(memory.output == walked.file);
    }
    return 0;
}
