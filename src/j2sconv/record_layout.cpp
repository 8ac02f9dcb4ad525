#include "j2sconv/record_layout.h"

#include <algorithm>

#include "shared/pattern_format.h"

namespace velk::j2s {

namespace {

using pattern::isCharPosition;
using pattern::isDataPosition;

// A run of `letter` positions, in which a point may stand before another
// `letter`. Returns the end of the run; `bad` when a point is not followed
// by the letter.
std::size_t measureNumber(const std::string& text, std::size_t from, char letter,
                          std::uint32_t& digits, bool& bad) {
    std::size_t i = from;
    digits = 0;
    bad = false;
    while (i < text.size()) {
        if (text[i] == letter) {
            ++digits;
            ++i;
        } else if (text[i] == '.') {
            if (i + 1 < text.size() && text[i + 1] == letter) {
                ++i;
            } else {
                bad = true;
                break;
            }
        } else {
            break;
        }
    }
    return i;
}

}  // namespace

RecordLayout layoutFor(const RecordPattern& pattern) {
    RecordLayout layout;
    layout.text = pattern.text;
    const std::string& text = layout.text;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        PatternRun run{RunKind::Literal, 0, 0, static_cast<std::uint32_t>(i), 0, 0, 0, kNoPoint};
        std::size_t end = i + 1;
        std::uint32_t output = 0;
        if (isCharPosition(c)) {
            while (end < text.size() && isCharPosition(text[end])) ++end;
            run.kind = RunKind::Chars;
            run.sourceBytes = static_cast<std::uint32_t>(end - i);
            output = run.sourceBytes;
        } else if (c == 'N') {
            while (end < text.size() && text[end] == 'N') ++end;
            // An odd run (refused by the reader) still takes whole characters.
            run.kind = RunKind::Kanji;
            run.sourceBytes = static_cast<std::uint32_t>((end - i + 1) / 2 * 2);
            output = run.sourceBytes;
        } else if (c == 'S' || c == 'C' || c == 'P' || c == 'B' || c == 'U') {
            bool bad = false;
            end = measureNumber(text, i, c, run.digits, bad);
            if (c == 'S') {
                run.kind = bad ? RunKind::BadZoned : RunKind::Zoned;
                run.sourceBytes = run.digits;
            } else if (c == 'C' || c == 'P') {
                run.kind = bad || run.digits > maxPackedDigits ? RunKind::BadPacked
                                                               : RunKind::Packed;
                run.letter = c;
                run.sourceBytes = pattern::packedSourceBytes(run.digits);
            } else {
                run.kind = bad || run.digits > maxBinaryDigits ? RunKind::BadBinary
                                                               : RunKind::Binary;
                run.letter = c;
                run.sourceBytes = pattern::binarySourceBytes(run.digits);
            }
            // The sign (none for U), then each position.
            output = static_cast<std::uint32_t>(end - i) + (c == 'U' ? 0 : 1);
            const auto point = std::find(text.begin() + static_cast<std::ptrdiff_t>(i),
                                         text.begin() + static_cast<std::ptrdiff_t>(end), '.');
            if (point != text.begin() + static_cast<std::ptrdiff_t>(end)) {
                run.pointAt = static_cast<std::uint32_t>(point - text.begin()) - static_cast<std::uint32_t>(i);
                if (std::find(point + 1, text.begin() + static_cast<std::ptrdiff_t>(end), '.') !=
                    text.begin() + static_cast<std::ptrdiff_t>(end))
                    run.pointAt = kPoints;
            }
        } else {
            while (end < text.size() && !isDataPosition(text[end])) ++end;
            output = static_cast<std::uint32_t>(end - i);
        }
        run.length = static_cast<std::uint32_t>(end - i);
        bool bad = run.kind == RunKind::BadZoned || run.kind == RunKind::BadPacked ||
                   run.kind == RunKind::BadBinary;
        if (bad) run.sourceBytes = 0;
        if (!layout.runs.empty() && layout.runs.back().kind == RunKind::Literal) {
            run.prefix = layout.runs.back().length;  // written on the way into this run
            layout.runs.pop_back();
        }
        layout.runs.push_back(run);
        layout.maxOutput += output;
        if (bad) {
            // The walk stops here with an error, or writes the rest as it stands.
            layout.maxOutput += static_cast<std::uint32_t>(text.size() - i);
            break;
        }
        i = end;
    }
    for (const PatternRun& run : layout.runs) layout.sourceBytes += run.sourceBytes;
    layout.hasData = std::any_of(text.begin(), text.end(), isDataPosition);
    return layout;
}

}  // namespace velk::j2s
