// Pattern-file reader. Input: one option byte (optConv 1..3), then the
// pattern file's bytes.
#include "fuzz_support.h"
#include "j2s_support.h"
#include "j2sconv/j2s_options.h"
#include "j2sconv/pattern_file.h"

using namespace velk;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    const int optConv = 1 + options % 3;

    j2s::PatternSet set;
    const std::int32_t rc =
        fuzz::loadPatterns(input.rest(), *j2s::decodeOptions(optConv, 0, 0, 0).a2e, set);
    if (rc != 0) {
        FUZZ_CHECK(rc == -2 || rc == -17);  // nothing here can fail to open or run out of memory
        return 0;
    }
    FUZZ_CHECK(!set.patterns.empty());
    FUZZ_CHECK(set.multiPattern == (set.patterns.size() > 1));
    for (const j2s::RecordPattern& p : set.patterns) {
        FUZZ_CHECK(p.length > 0 && static_cast<std::size_t>(p.length) == p.text.size());
        FUZZ_CHECK(p.keywordLen >= 0 && static_cast<std::size_t>(p.keywordLen) == p.keyword.size());
        FUZZ_CHECK(p.keywordPos >= 0);
        FUZZ_CHECK(std::int64_t{p.keywordPos} + p.keywordLen - 1 <= p.length);
        FUZZ_CHECK(p.sourceLength == j2s::sourceLengthOf(p.text));
        FUZZ_CHECK(p.sourceLength <= p.length);
        if (set.multiPattern) FUZZ_CHECK(p.hasKeyword && p.keywordPos > 0 && p.keywordLen > 0);
    }
    const j2s::PatternSizes sizes = j2s::summarisePatterns(set);
    FUZZ_CHECK(sizes.maxPatternLength > 0 && sizes.maxSourceLength <= sizes.maxPatternLength);
    return 0;
}
