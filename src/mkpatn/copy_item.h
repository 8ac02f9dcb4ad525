// One data description entry of a COBOL copy-book, as the parser leaves it
// and the pattern writer reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velk::mkp {

// Result codes of the mkp worker.
inline constexpr std::int32_t kSyntaxError = -3;
inline constexpr std::int32_t kPatternFileError = -12;
inline constexpr std::int32_t kCopyBookMissing = -13;
inline constexpr std::int32_t kCopyBookEmpty = -18;
inline constexpr std::int32_t kPatternWriteError = -27;
inline constexpr std::int32_t kOutOfMemory = -30;

struct CopyItem {
    std::int32_t level = 0;
    std::optional<std::string> name;
    // '0' until a picture is read; then '9', 'X', 'A', 'N', 'S' (signed
    // zoned), 'C' (packed), 'B' (signed binary) or 'U' (unsigned binary).
    // An edited picture is 'X' with the picture's length.
    char type = '0';
    std::int32_t count = 0;  // positions before the implied point; 0 for a group
    char pointMark = ' ';    // 'V' once an implied point was read
    std::int32_t fractionCount = 0;
    // ' ' (display), 'C' (packed) or 'B' (binary) as the USAGE clause says;
    // applied to type when the entry ends, since clauses come in any order.
    char usage = ' ';
    bool edited = false;  // the picture held editing symbols
    std::int32_t occurs = 0;  // 0: no OCCURS
    std::optional<std::string> redefinesName;

    bool isGroup() const { return count == 0; }
};

}  // namespace velk::mkp
