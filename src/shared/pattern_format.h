// The record pattern format, shared by the pattern maker (which writes
// patterns) and j2s (which reads and converts under them): the pattern
// characters, their classes and the source bytes they take. A new pattern
// character is added here first.
#pragma once

#include <cstdint>
#include <string_view>

namespace velk::pattern {

enum class CharClass : std::uint8_t {
    None,       // not a pattern character
    Single,     // X, A, 9: one EBCDIC byte
    Kanji,      // N: half of one JEF character; N come in pairs
    Zoned,      // S: one digit of a signed zoned number, one byte
    Packed,     // C, P: one digit place of a packed number; a run of n takes n/2 + 1 bytes
    Binary,     // B (signed), U (unsigned): one digit place of a big-endian binary number
    Point,      // '.': decimal point inside an S, C or P run, or a literal
    Separator,  // ',' and ' ': copied; ends a packed run
    Quote,      // '"': copied
};

constexpr CharClass classOf(char c) {
    switch (c) {
        case 'X': case 'A': case '9': return CharClass::Single;
        case 'N': return CharClass::Kanji;
        case 'S': return CharClass::Zoned;
        case 'C': case 'P': return CharClass::Packed;
        case 'B': case 'U': return CharClass::Binary;
        case '.': return CharClass::Point;
        case ',': case ' ': return CharClass::Separator;
        case '"': return CharClass::Quote;
        default: return CharClass::None;
    }
}

constexpr bool isPatternChar(char c) { return classOf(c) != CharClass::None; }
constexpr bool isCharPosition(char c) { return classOf(c) == CharClass::Single; }
// A position that takes source bytes.
constexpr bool isDataPosition(char c) {
    const CharClass k = classOf(c);
    return k == CharClass::Single || k == CharClass::Kanji || k == CharClass::Zoned ||
           k == CharClass::Packed || k == CharClass::Binary;
}

// Source bytes of a packed run of `digits` digit places: the digits and
// the sign nibble, two to a byte.
constexpr std::uint32_t packedSourceBytes(std::uint32_t digits) { return digits / 2 + 1; }

// Source bytes of a binary run of `digits` digit places: a halfword, a
// fullword or a doubleword, as COBOL stores 1-4, 5-9 and 10-18 digits.
constexpr std::uint32_t binarySourceBytes(std::uint32_t digits) {
    return digits <= 4 ? 2 : digits <= 9 ? 4 : 8;
}

// Source bytes of a number run of `digits` places under `letter`.
constexpr std::uint32_t runSourceBytes(char letter, std::uint32_t digits) {
    return classOf(letter) == CharClass::Binary ? binarySourceBytes(digits)
                                                : packedSourceBytes(digits);
}

// Whether a '"' between two packed letters ends the run. The pattern maker
// counts it as an end; the j2s reader lets it pass, as it does a point.
// They agree on every pattern the maker writes (a quote there always
// stands next to an X, A or N item), and each keeps its own results.
enum class QuoteInPackedRun : std::uint8_t { Ends, Continues };

// Source bytes a whole pattern takes from a record: one per X, A, 9, N, S;
// a packed run of n C or P places (points may stand inside) takes n/2 + 1;
// a binary run of B or U places 2, 4 or 8; a change of letter starts a new run.
constexpr std::int64_t sourceLength(std::string_view pattern, QuoteInPackedRun quote) {
    std::int64_t total = 0;
    std::int64_t run = 0;
    char letter = '\0';
    auto close = [&] {
        if (run > 0) total += runSourceBytes(letter, static_cast<std::uint32_t>(run));
        run = 0;
    };
    for (char c : pattern) {
        switch (classOf(c)) {
            case CharClass::Single:
            case CharClass::Kanji:
            case CharClass::Zoned:
                close();
                ++total;
                letter = c;
                break;
            case CharClass::Packed:
            case CharClass::Binary:
                if (c != letter) close();
                ++run;
                letter = c;
                break;
            case CharClass::Separator:
                close();
                letter = c;
                break;
            case CharClass::Quote:
                if (quote == QuoteInPackedRun::Ends) {
                    close();
                    letter = c;
                }
                break;
            case CharClass::Point:
            case CharClass::None:
                break;
        }
    }
    close();
    return total;
}

}  // namespace velk::pattern
