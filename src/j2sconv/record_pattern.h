// Record patterns loaded from a pattern file: one per pattern line, in file order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velk::j2s {

struct RecordPattern {
    std::int32_t keywordPos = 0;  // 1-based position of the keyword; 0 without a prefix
    std::int32_t keywordLen = 0;  // converted keyword length, up to its first 0x00
    bool hasKeyword = false;
    std::string keyword;          // in EBCDIC
    std::int32_t length = 0;      // pattern characters
    std::string text;             // the pattern, upper-cased
    std::int32_t sourceLength = 0;  // source bytes the pattern covers
};

struct PatternSet {
    std::vector<RecordPattern> patterns;
    bool multiPattern = false;
};

}  // namespace velk::j2s
