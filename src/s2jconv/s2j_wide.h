// The s2j block loop 64 input bytes at a time, where the processor has
// AVX-512 byte permutes and compresses. Text that mixes kanji and ASCII
// changes class every few bytes, and a byte loop pays a mispredicted branch
// at each change; here every window of 64 bytes costs the same.
#pragma once

#include <cstddef>
#include <cstdint>

#include "s2jconv/s2j_convert.h"

namespace velk::s2j {

// Whether convertWide does anything on this processor.
bool wideAvailable();

// Where the conversion of one block stands; convertWide moves it on.
struct WideCursor {
    std::size_t in;          // next input byte; always the start of a character
    std::uint8_t* out;       // next output byte
    bool kanjiOpen;
    std::int64_t lineFeeds;  // LF bytes seen
    std::int64_t lineStart;  // input offset where the current line begins
};

// Converts windows of in[cursor.in, n) while at least 64 bytes remain,
// exactly as convertBlock would. Stops
// before a window that holds a conversion error or that needs the byte loop
// for another reason, so that errors are found and reported by the byte
// loop alone. out must have room for twice the input converted.
// base is the input offset of in[0].
void convertWide(const Converter& conv, const std::uint8_t* in, std::size_t n,
                 std::int64_t base, WideCursor& cursor);

}  // namespace velk::s2j
