// A record pattern compiled into runs of like positions, so that the
// per-record walk handles a whole run at once instead of one pattern
// character at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "j2sconv/record_pattern.h"

namespace velk::j2s {

enum class RunKind : std::uint8_t {
    Chars,      // X, A, 9: one EBCDIC byte each
    Kanji,      // N pairs: one JEF character each
    Zoned,      // S run, optional points: a signed zoned number
    Packed,     // C or P run, optional points: a packed decimal number
    Binary,     // B or U run, optional points: a big-endian binary number of 2, 4 or 8 bytes
    Literal,    // '.', ',', blank, '"' at the end of the pattern: copied
    BadZoned,   // a point in an S run that no S follows
    BadPacked,  // a point in a packed run that no run letter follows, or too many digits
    BadBinary,  // the same in a binary run
};

struct PatternRun {
    RunKind kind;
    char letter;               // 'C' or 'P' for packed runs, 'B' or 'U' for binary ones
    std::uint32_t prefix;      // separators, quotes and points just before the run
    std::uint32_t start;       // first pattern character
    std::uint32_t length;      // pattern characters
    std::uint32_t digits;      // S, C, P, B or U positions in a numeric run
    std::uint32_t sourceBytes; // source bytes the run takes
    std::uint32_t pointAt;     // number runs: digits before their one point, or kNoPoint, kPoints
};

inline constexpr std::uint32_t kNoPoint = ~std::uint32_t{0};
inline constexpr std::uint32_t kPoints = kNoPoint - 1;  // more than one

// Packed runs are limited so that a sign and every nibble fit the digit area.
inline constexpr std::uint32_t maxPackedDigits = 31;
// A doubleword holds every number of 18 digits, as COBOL allows for binary items.
inline constexpr std::uint32_t maxBinaryDigits = 18;

struct RecordLayout {
    std::string text;              // the pattern, upper-cased
    std::vector<PatternRun> runs;  // in pattern order; nothing follows a Bad run.
                                   // Other literals are the prefix of the next run.
    std::uint32_t sourceBytes = 0; // source bytes of the whole pattern
    std::uint32_t maxOutput = 0;   // output bytes of the longest conversion
    bool hasData = false;          // some position takes source bytes
};

RecordLayout layoutFor(const RecordPattern& pattern);

}  // namespace velk::j2s
