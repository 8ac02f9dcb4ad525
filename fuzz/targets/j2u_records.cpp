// j2u's pattern-driven conversion against j2s's. Input as for j2s_records:
// one option byte (optConv 1..3, optSkip, line ends), one byte for optTrim,
// the pattern file's text up to the first 0x00 byte, then the record data.
// The records go three ways over memory:
//  - j2s's tables, Shift-JIS written as it is;
//  - j2u's narrowed tables, Shift-JIS written as it is;
//  - j2u's narrowed tables through the UTF-8 stage, as the worker runs it.
// The UTF-8 must be a plain decoding of the narrowed Shift-JIS, which must
// hold only CP932 characters; j2u's errors must be j2s's plus only
// characters that j2s maps and CP932 lacks; without those, both write the
// same Shift-JIS.
#include <string>

#include "fuzz_support.h"
#include "j2s_support.h"
#include "j2sconv/j2s_options.h"
#include "j2sconv/record_convert.h"
#include "j2sconv/record_walk.h"
#include "j2sconv/trim_fields.h"
#include "j2sconv/utf8_output.h"
#include "tblutf/cp932.h"

using namespace velk;
using namespace velk::j2s;

namespace {

void appendUtf8(std::vector<std::uint8_t>& out, unsigned cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<std::uint8_t>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<std::uint8_t>(0xC0 + cp / 64));
        out.push_back(static_cast<std::uint8_t>(0x80 + cp % 64));
    } else {
        out.push_back(static_cast<std::uint8_t>(0xE0 + cp / 4096));
        out.push_back(static_cast<std::uint8_t>(0x80 + cp / 64 % 64));
        out.push_back(static_cast<std::uint8_t>(0x80 + cp % 64));
    }
}

// Shift-JIS read plainly: a byte CP932 defines on its own, else a defined
// pair, else U+FFFD for the one byte. Counts the U+FFFDs.
std::vector<std::uint8_t> decodePlainly(const std::vector<std::uint8_t>& sjis, int& bad) {
    const cp932::Table& to = cp932::toUnicode();
    std::vector<std::uint8_t> out;
    bad = 0;
    for (std::size_t i = 0; i < sjis.size();) {
        const unsigned b = sjis[i];
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (!lead && to[b] != cp932::kNone) {
            appendUtf8(out, to[b]);
            ++i;
        } else if (lead && i + 1 < sjis.size() && to[b << 8 | sjis[i + 1]] != cp932::kNone) {
            appendUtf8(out, to[b << 8 | sjis[i + 1]]);
            i += 2;
        } else {
            appendUtf8(out, 0xFFFD);
            ++bad;
            ++i;
        }
    }
    return out;
}

bool sameError(const ConversionError& a, const ConversionError& b) {
    return a.kind == b.kind && a.code == b.code && a.offset == b.offset;
}

// An error j2u may add: a character j2s maps to something CP932 lacks.
bool cp932Gap(const ConversionError& e, const Options& s, const Options& u) {
    if (e.kind == ConversionError::Kanji) {
        const KanjiEntry& was = (*s.kanji)[e.code];
        const KanjiEntry& now = (*u.kanji)[e.code];
        return (was[0] | was[1]) != 0 && (now[0] | now[1]) == 0;
    }
    if (e.kind == ConversionError::SingleByte) return (*s.e2a)[e.code] != 0 && (*u.e2a)[e.code] == 0;
    return false;
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
    const int optConv = 1 + options % 3;
    const int optSkip = (options >> 2) & 1;
    const int recSize = (options >> 3) & 1;
    const int trimFlags = trimFlagsFor(second % 9);
    const std::span<const std::uint8_t> patternText = input.until(0);
    const std::span<const std::uint8_t> records = input.rest();

    const Options sOpts = decodeOptions(optConv, recSize, optSkip, trimFlags);
    const Options uOpts = decodeOptions(optConv, recSize, optSkip, trimFlags, true);
    PatternSet set;
    if (fuzz::loadPatterns(patternText, *sOpts.a2e, set) != 0) return 0;
    if (records.empty()) return 0;
    const RecordPlan plan = planRecords(set);
    const BufferSizes sizes = recordBufferSizes(plan.readLength, plan.recordMax);
    const RecordJob job{trimFlags, recSize != 0};

    auto run = [&](const Options& o, fuzz::MemoryIo& memory, bool utf8) {
        std::vector<std::uint8_t> in(sizes.in), out(sizes.out), stage;
        const CodeTables tables = makeCodeTables(o);
        const Io io = utf8 ? utf8Io(memory.io, stage) : memory.io;
        return convertRecords(plan, tables, job, in, out, io);
    };
    fuzz::MemoryIo sjis(records), narrowed(records), utf8(records);
    const Outcome sOut = run(sOpts, sjis, false);
    const Outcome nOut = run(uOpts, narrowed, false);
    const Outcome uOut = run(uOpts, utf8, true);

    // The stage changes the bytes written and nothing else.
    FUZZ_CHECK(uOut.failed == nOut.failed && uOut.unmapped == nOut.unmapped &&
               uOut.lineEnds == nOut.lineEnds);
    FUZZ_CHECK(utf8.errors.size() == narrowed.errors.size());
    int bad = 0;
    FUZZ_CHECK(utf8.output == decodePlainly(narrowed.output, bad));
    FUZZ_CHECK(bad == 0);

    // Narrowing adds errors and nothing else.
    FUZZ_CHECK(nOut.failed == sOut.failed && nOut.lineEnds == sOut.lineEnds);
    std::size_t j = 0;
    bool added = false;
    for (const ConversionError& e : narrowed.errors) {
        if (j < sjis.errors.size() && sameError(e, sjis.errors[j])) {
            ++j;
            continue;
        }
        FUZZ_CHECK(cp932Gap(e, sOpts, uOpts));
        added = true;
    }
    FUZZ_CHECK(j == sjis.errors.size());
    FUZZ_CHECK(nOut.unmapped == (sOut.unmapped || added));
    if (!added) FUZZ_CHECK(narrowed.output == sjis.output);
    return 0;
}
