// The fast paths of both converters, at the level the caller's tables carry.
// A kernel never reports an error: it stops before the first byte that needs
// a decision (a byte or pair without mapping, a shift code where the walk
// decides) and leaves it to the caller's byte loop, whose output it matches
// byte for byte. Tables come as plain arrays, so the kernels depend on no
// converter's own structures.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simd/jis_shortcut.h"
#include "simd/level.h"
#include "simd/portable/runs.h"

namespace velk::simd {

// --- s2j: Shift JIS text to JEF/EBCDIC, 64 input bytes a window ---

// A byte table made into one for byte pairs (the first byte low, as
// little-endian memory holds them): the portable windows' look-ups go two
// bytes at a time. pairs must hold kPairEntries.
inline constexpr std::size_t kPairEntries = 65536;
void makePairTable(const std::uint8_t* table, std::uint16_t* pairs);

struct S2jTables {
    const std::uint8_t* single;  // byte to EBCDIC, 0 = no mapping
    const std::uint16_t* singlePairs;  // single as makePairTable makes it
    const std::uint8_t* kanji;   // 65,536 two-byte JEF entries, 0 0 = no mapping
    bool shiftCodes;             // bracket kanji runs with 0x28 ... 0x29
};

struct S2jCursor {
    std::size_t in;          // next input byte; always the start of a character
    std::uint8_t* out;       // next output byte
    bool kanjiOpen;
    std::int64_t lineFeeds;  // LF bytes seen
    std::int64_t lineStart;  // input offset where the current line begins
};

// Converts windows of in[cursor.in, n) while at least 64 bytes remain,
// dropping CR and LF. out must have room for twice the input converted;
// base is the input offset of in[0]. The portable level stops 16 bytes
// sooner, and nowhere but on a little-endian machine.
void s2jWindows(Level level, const S2jTables& tables, const std::uint8_t* in, std::size_t n,
                std::int64_t base, S2jCursor& cursor);

// --- u2j: UTF-8 text to JEF/EBCDIC, 64 input bytes a window ---

// An entry per BMP code point: the output bytes in the order they are
// written (low 16 bits; one byte for a single-byte character) and the
// flags above them.
inline constexpr std::uint32_t kU2jDouble = 1u << 16;     // a JEF pair, not an EBCDIC byte
inline constexpr std::uint32_t kU2jNoMapping = 2u << 16;  // the byte loop substitutes and reports

struct U2jTables {
    const std::uint32_t* entry;  // 65,536 entries as above
    const std::uint8_t* plain;   // ASCII byte to EBCDIC, 0 where the byte loop decides
    bool shiftCodes;             // bracket kanji runs with 0x28 ... 0x29
};

struct U2jCursor {
    std::size_t in;          // next input byte; always the start of a character
    std::uint8_t* out;       // next output byte
    bool kanjiOpen;
    std::int64_t chars;      // character index of in[in]
    std::int64_t lineFeeds;  // LF bytes seen
    std::int64_t lineStart;  // character index where the current line begins
};

// Converts windows of in[cursor.in, n) while at least kU2jWindowBytes
// remain, dropping CR and LF. Stops before a window with anything but
// whole, well-formed one- to three-byte characters that map (a sequence cut
// by the window's end waits for the next window). out must have room for
// twice the input converted. Nothing at the portable level.
inline constexpr std::size_t kU2jWindowBytes = 64 + 2;  // a code point is read as four bytes
void u2jWindows(Level level, const U2jTables& tables, const std::uint8_t* in, std::size_t n,
                U2jCursor& cursor);

// --- j2s stream: JEF/EBCDIC with shift codes to Shift JIS ---

struct J2sTables {
    const std::uint8_t* plain;  // byte to output, 0 where the byte loop decides
    const std::uint16_t* plainPairs;  // plain as makePairTable makes it
    // 65,536 two-byte entries plus one spare, 0 0 = no mapping; the shift
    // codes as lead bytes map to nothing.
    const std::uint8_t* kanji;
    const JisShortcut* jis;     // count < 0: no arithmetic
};

struct J2sCursor {
    std::size_t in;   // next input byte; always the start of a character
    std::size_t out;  // next output byte
    bool doubleByte;
};

// Converts windows of in[cursor.in, n) while at least 64 bytes remain.
// Stops before a window with a character without mapping, or a shift-code
// byte that is the second byte of a kanji. Output never runs ahead of input,
// and nothing is written at or past out + n. The portable level stops 32
// bytes sooner, and nowhere but on a little-endian machine.
void j2sWindows(Level level, const J2sTables& tables, const std::uint8_t* in, std::size_t n,
                std::uint8_t* out, J2sCursor& cursor);

// --- j2u stream: the same input to UTF-8, one look-up a character ---

struct StreamChars {
    // A character's UTF-8 bytes in memory order, their count in the top
    // byte; 0 where the byte loop decides. One table of 65,536 entries and
    // a spare: single bytes at their own value (row 0, which no kanji
    // uses), kanji at their code; a lead byte 0x00 is read as 0x0100, which
    // is 0 like all of row 1. Shift codes as lead bytes are 0.
    const std::uint32_t* chars;
};

// The entry of the kanji `code` in StreamChars::chars.
inline std::uint32_t streamKanjiIndex(std::uint32_t code) { return code < 0x100 ? 0x100 : code; }

// Converts the characters of in[cursor.in, n) and the shift codes between
// them while they map; stops before the first byte that needs a decision
// (no mapping, a shift code the byte loop takes, a lead byte at n). out
// must have room for 3 * (n - cursor.in) + 4 bytes past cursor.out: each
// character is stored as four bytes. Every level; the vector levels take
// 64-byte windows first.
void streamChars(Level level, const StreamChars& tables, const std::uint8_t* in, std::size_t n,
              std::uint8_t* out, J2sCursor& cursor);

// The vector part of plainRun: whole vectors only.
std::size_t plainRunVector(Level level, const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                           const std::uint8_t* plain, bool& stopped);

// Plain single bytes from src[0, n) through `plain` while they map; returns
// how many. stopped says a byte that needs a decision ended the run (rather
// than the end of what the kernels take: they may leave up to 7 bytes).
// dst may be written up to src's length (output never ahead of input).
inline std::size_t plainRun(Level level, const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                            const std::uint8_t* plain, bool& stopped) {
    std::size_t done = 0;
    stopped = false;
    if (level != Level::portable) {
        done = plainRunVector(level, src, n, dst, plain, stopped);
        if (stopped) return done;
    }
    return done + portable::plainRun(src + done, n - done, dst + done, plain, stopped);
}

// Kanji pairs from src[0, n) through `kanji` while they map; returns the
// bytes converted (even). May leave up to 7 bytes. Words at every level:
// the vector levels meet kanji runs in their windows.
inline std::size_t kanjiRun(Level, const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                            const std::uint8_t* kanji) {
    return portable::kanjiRun(src, n, dst, kanji);
}

// --- j2s record walk: a character run and a kanji run ---

// Characters of src[0, length) through `plain` (0 where the walk decides);
// returns how many it converted from the start. Words at the portable level.
std::uint32_t plainChars(Level level, const std::uint8_t* src, std::uint32_t length,
                         std::uint8_t* out, const std::uint8_t* plain);

// Kanji pairs that the JIS arithmetic converts; returns how many from the start.
std::uint32_t shortcutKanji(Level level, const std::uint8_t* src, std::uint32_t pairs,
                            std::uint8_t* out, const JisShortcut& jis);

// --- j2s field trimming ---

struct TrimRule {
    bool start;    // drop leading pads
    bool end;      // drop trailing pads
    bool squeeze;  // keep only the first pad of each inner run
    bool empty;    // a field of pads only becomes empty
};

// Bit k set where src[k] is a comma, for k < n <= 64: a record's fields
// found 64 bytes at a time.
std::uint64_t commaBits(Level level, const std::uint8_t* src, std::size_t n);

// Bit k set where p[k] is a comma, for k < 64, when all 64 bytes may be
// read: the record walk's look at a run's output, which has room after it.
std::uint64_t commaWindow(Level level, const std::uint8_t* p);

// Write the trimmed content of record[r, e) at record + w (w <= r) and
// return true with w moved past it; or return false and change nothing when
// the content is longer than 64 bytes, the level has no kernel, or (double
// bytes) the content is not whole full-width characters.
bool trimSingle(Level level, const TrimRule& rule, std::uint8_t* record, std::size_t r,
                std::size_t e, std::size_t& w);
bool trimDouble(Level level, const TrimRule& rule, std::uint8_t* record, std::size_t r,
                std::size_t e, std::size_t& w);

// The same for content p[0, n) trimmed where it stands, in a buffer whose
// kTrimWindow bytes from p may all be read and overwritten (what follows the
// content is the caller's to rewrite): no copy through a buffer. Returns the
// bytes kept, now at p, or kNotTrimmed having changed nothing, as above.
// Words at the portable level (none on a big-endian machine).
inline constexpr std::size_t kTrimWindow = 64;
inline constexpr std::size_t kNotTrimmed = ~std::size_t{0};
std::size_t trimSingleInPlace(Level level, const TrimRule& rule, std::uint8_t* p, std::size_t n);
std::size_t trimDoubleInPlace(Level level, const TrimRule& rule, std::uint8_t* p, std::size_t n);

}  // namespace velk::simd
