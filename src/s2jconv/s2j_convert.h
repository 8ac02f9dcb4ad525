// Shift-JIS text to JEF/EBCDIC, one block at a time, in memory.
// Line ends are dropped, single bytes go through a 256-byte table, kanji
// through sjis2jef, and kanji runs can be bracketed with shift codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "shared/jef_codes.h"
#include "simd/level.h"
#include "tblank/single_byte_tables.h"

namespace velk::s2j {

inline constexpr std::uint8_t kKanjiIn = jef::kKanjiIn;
inline constexpr std::uint8_t kKanjiOut = jef::kKanjiOut;
inline constexpr std::uint8_t kSpace = jef::kSpace;

// Only the first 100 errors are reported one by one; the 101st is recorded
// so that the caller can say the limit was passed. Later ones are counted.
inline constexpr std::int64_t kErrorsReported = 100;
inline constexpr std::int64_t kErrorsRecorded = kErrorsReported + 1;

enum class ErrorKind : std::uint8_t {
    SingleByte,  // no EBCDIC byte for it; code is the byte
    DoubleByte,  // no JEF code for it; code is the two bytes
    LoneFirst,   // first byte of a kanji with nothing after it; code is the byte
};

struct ConversionError {
    ErrorKind kind;
    std::uint16_t code;
    std::int64_t line;    // 1-based
    std::int64_t column;  // 1-based byte position in the line; CR counts
};

// What one run converts with, fixed by the command's options.
struct Converter {
    ByteTable single;  // byte to EBCDIC, optConv's choice folded in; 0 = error
    std::vector<std::uint16_t> singlePairs;  // single for byte pairs (simd::makePairTable)
    bool kanjiWords = false;  // kanji pairs a word at a time (sjis2jef maps no other lead byte)
    bool windows = true;      // 64-byte windows before the byte loop
    bool shiftCodes;   // bracket kanji runs with 0x28 ... 0x29
    simd::Level level = simd::Level::portable;  // of the fast paths
};

Converter makeConverter(int optConv, int optOther);

// Everything that carries from one block to the next.
struct CarriedState {
    std::int64_t offset = 0;     // input offset of the next block's first byte
    std::int64_t lineFeeds = 0;  // LF bytes seen
    std::int64_t lineStart = 0;  // input offset where the current line begins
    std::int64_t errorCount = 0;
    bool kanjiOpen = false;
};

struct BlockResult {
    std::size_t consumed;  // input bytes converted; the rest start the next block
    std::size_t written;   // output bytes
};

// Converts `in` into `out`, which must hold 2 * in.size() bytes. A first
// byte that ends the block is left unconsumed unless endOfInput says no
// more bytes follow, in which case it is a conversion error. Appends the
// errors to `errors` while fewer than kErrorsRecorded have been met.
BlockResult convertBlock(const Converter& conv, std::span<const std::uint8_t> in,
                         bool endOfInput, CarriedState& state, std::uint8_t* out,
                         std::vector<ConversionError>& errors);

// Closes a kanji run still open at the end of the input: 0 or 1 byte.
std::size_t finishRun(const Converter& conv, CarriedState& state, std::uint8_t* out);

}  // namespace velk::s2j
