#include "j2sconv/record_choice.h"

#include <cstring>

#include "j2sconv/record_walk.h"
#include "shared/jef_codes.h"
#include "shared/pattern_format.h"

namespace velk::j2s {

namespace {

bool matches(const RecordPattern& p, std::span<const std::uint8_t> head, bool skipShift) {
    if (p.keywordPos <= 0 || p.keywordLen < 0 ||
        static_cast<std::size_t>(p.keywordLen) > p.keyword.size()) {
        return false;
    }
    std::size_t limit = static_cast<std::size_t>(p.keywordPos);
    std::size_t extra = 0;
    for (std::size_t i = 0; i < limit && i < head.size(); ++i) {
        // Packed and binary positions hold any byte: none of theirs is a shift code.
        const pattern::CharClass k =
            i < p.text.size() ? pattern::classOf(p.text[i]) : pattern::CharClass::None;
        if (skipShift && jef::isShiftCode(head[i]) && k != pattern::CharClass::Packed &&
            k != pattern::CharClass::Binary) {
            ++extra;
            ++limit;
        }
    }
    std::size_t start = static_cast<std::size_t>(p.keywordPos) - 1 + extra;
    std::size_t len = static_cast<std::size_t>(p.keywordLen);
    return start + len <= head.size() &&
           (len == 0 || std::memcmp(head.data() + start, p.keyword.data(), len) == 0);
}

}  // namespace

std::size_t choosePattern(const PatternSet& set, std::span<const std::uint8_t> head,
                          bool skipShift) {
    const auto& patterns = set.patterns;
    if (!set.multiPattern || patterns.size() <= 1) return 0;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        if (matches(patterns[i], head, skipShift)) return i;
    }
    return patterns.size() - 1;
}

}  // namespace velk::j2s
