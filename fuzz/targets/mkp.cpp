// Copy-book parser and pattern writer. Input: one option byte (optCsv
// 0..2, optQuote, optLog), then the copy-book text.
// The pure parse and write run first; what they make must be a pattern
// that the pattern reader takes and measures the same way. The worker then
// runs on memory files and must write exactly those lines.
#include <algorithm>
#include <string>

#include "driver/workers.h"
#include "fuzz_support.h"
#include "j2s_support.h"
#include "j2sconv/j2s_options.h"
#include "j2sconv/pattern_file.h"
#include "j2sconv/record_layout.h"
#include "mkpatn/copy_book_parser.h"
#include "mkpatn/pattern_writer.h"

using namespace velk;

namespace {

// Lines longer than this are checked by the writer alone: reading them back
// would only cost time.
constexpr std::size_t kReadBackLimit = 1 << 16;

bool isWrittenChar(char c) {
    return std::string_view("XA9NSCBU.\", ").find(c) != std::string_view::npos;
}

void checkAgainstReader(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line;
    j2s::PatternSet set;
    const std::int32_t rc = fuzz::loadPatterns(
        {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, *j2s::decodeOptions(3, 0, 0, 0).a2e, set);
    if (lines.size() == 1) {
        const std::string_view line(lines[0].data(), lines[0].size() - 1);
        const bool digitsOnly = line.find_first_not_of("9") == std::string_view::npos;
        if (line.size() < 2) {
            FUZZ_CHECK(rc == -17);  // too short to be a pattern line
        } else if (digitsOnly) {
            FUZZ_CHECK(rc == -2);
        } else {
            FUZZ_CHECK(rc == 0);
        }
    } else {
        FUZZ_CHECK(rc != 0 || set.patterns.size() == 1);  // two lines carry no keyword
    }
    for (const j2s::RecordPattern& p : set.patterns) {
        FUZZ_CHECK(p.sourceLength == mkp::recordLength(p.text));
        // Nothing the writer makes leaves a point dangling in a number.
        const j2s::RecordLayout layout = j2s::layoutFor(p);
        bool bad = false;
        for (const j2s::PatternRun& r : layout.runs) {
            FUZZ_CHECK(r.kind != j2s::RunKind::BadZoned);
            FUZZ_CHECK(r.kind != j2s::RunKind::BadBinary);  // the parser allows 18 digits
            if (r.kind == j2s::RunKind::BadPacked) {
                FUZZ_CHECK(r.digits > j2s::maxPackedDigits);
                bad = true;
            }
        }
        // The walk takes a record of the length the maker counted.
        if (!bad) FUZZ_CHECK(static_cast<std::int64_t>(layout.sourceBytes) == p.sourceLength);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MemFile copyBook("copybook"), patterns("patterns");
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    const int optCsv = options % 3;
    const int optQuote = (options >> 2) & 1;
    const int optLog = (options >> 3) & 1;
    const std::span<const std::uint8_t> bytes = input.rest();
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    mkp::CopyBook book = mkp::parseCopyBook(text);
    FUZZ_CHECK(book.code == 0 || book.code == mkp::kSyntaxError);
    if (book.code == mkp::kSyntaxError) FUZZ_CHECK(!book.messages.empty());

    mkp::PatternLines lines;
    std::size_t written = 0;
    if (book.code != mkp::kSyntaxError) {
        lines = mkp::buildPatternLines(book.items, optCsv, optQuote);
        FUZZ_CHECK(lines.code == 0 || lines.code == mkp::kOutOfMemory);
        if (lines.code == 0) {
            FUZZ_CHECK(!lines.lines.empty());
            for (const std::string& line : lines.lines) {
                FUZZ_CHECK(!line.empty() && line.back() == '\n');
                FUZZ_CHECK(std::all_of(line.begin(), line.end() - 1, isWrittenChar));
                FUZZ_CHECK(mkp::recordLength(line) ==
                           j2s::sourceLengthOf(std::string_view(line).substr(0, line.size() - 1)));
                written += line.size();
            }
            if (written <= kReadBackLimit) checkAgainstReader(lines.lines);
        }
    }

    // The worker over files, for inputs whose lines are cheap to write.
    if (written > kReadBackLimit) return 0;
    copyBook.set(bytes);
    patterns.clear();
    const std::int32_t rc = runMkp(optLog, optCsv, optQuote, copyBook.path(), patterns.path());
    if (bytes.empty()) {
        FUZZ_CHECK(rc == mkp::kCopyBookEmpty);
    } else if (book.code == mkp::kSyntaxError || lines.code != 0) {
        FUZZ_CHECK(rc == book.code || rc == lines.code);
        FUZZ_CHECK(patterns.contents().empty());
    } else {
        std::string expected;
        for (const std::string& line : lines.lines) expected += line;
        const std::vector<std::uint8_t> file = patterns.contents();
        FUZZ_CHECK(std::string(file.begin(), file.end()) == expected);
        FUZZ_CHECK(rc == static_cast<std::int32_t>(mkp::longestRecord(lines.lines)));
    }
    return 0;
}
