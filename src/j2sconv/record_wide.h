// The common case of a record's character and kanji runs, up to 64 bytes
// at a time, where the processor has AVX-512 byte permutes: each returns
// how many characters from the start it converted, stopping where the byte
// walk has a decision to make (a shift code, a byte or pair without a plain
// mapping), or 0 on a processor without the instructions.
#pragma once

#include <cstdint>

#include "j2sconv/jis_shortcut.h"

namespace velk::j2s {

// `plain` maps a byte to its output, or to 0 where the walk decides.
std::uint32_t plainChars(const std::uint8_t* src, std::uint32_t length, std::uint8_t* out,
                         const std::uint8_t* plain);

// Kanji pairs the shortcut converts.
std::uint32_t shortcutKanji(const std::uint8_t* src, std::uint32_t pairs, std::uint8_t* out,
                            const JisShortcut& jis);

}  // namespace velk::j2s
