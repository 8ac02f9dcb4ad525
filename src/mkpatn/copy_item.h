// One data description entry of a COBOL copy-book, as the parser leaves it
// and the pattern writer reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velk::mkp {

// Result codes of the mkp worker.
inline constexpr std::int32_t kSyntaxError = -3;
inline constexpr std::int32_t kBinaryUsage = -4;      // written, but holds binary items
inline constexpr std::int32_t kPatternFileError = -12;
inline constexpr std::int32_t kCopyBookMissing = -13;
inline constexpr std::int32_t kCopyBookEmpty = -18;
inline constexpr std::int32_t kPatternWriteError = -27;
inline constexpr std::int32_t kOutOfMemory = -30;

struct CopyItem {
    std::int32_t level = 0;
    std::optional<std::string> name;
    // '0' until a picture is read; then '9', 'X', 'A', 'N', 'S' (signed
    // zoned) or 'C' (packed). A binary item is 'X' with its byte width.
    char type = '0';
    std::int32_t count = 0;  // positions before the implied point; 0 for a group
    char pointMark = ' ';    // 'V' once an implied point was read
    std::int32_t fractionCount = 0;
    std::int32_t occurs = 0;  // 0: no OCCURS
    std::optional<std::string> redefinesName;
    // ' '; the writer marks 'S' (is redefined) or 'D' (redefines another).
    char redefineMark = ' ';

    bool isGroup() const { return count == 0; }
};

}  // namespace velk::mkp
