// j2u: the j2s loops writing UTF-8. Two pieces, both outside the loops:
// code tables narrowed to what code page 932 defines, so that every
// character it leaves undefined takes the loops' "no mapping" path (logged,
// substituted, result -1), and an output stage that turns each chunk of
// finished Shift-JIS into UTF-8 inside the write callback. The loops write
// whole blocks and records only, so a chunk never splits a character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "j2sconv/j2s_io.h"
#include "tblank/single_byte_tables.h"
#include "tblknj/kanji_tables.h"

namespace velk::j2s {

// e2a with every output byte that is not a whole CP932 character (lead
// bytes, 0x80, 0xA0, 0xFD-0xFF) turned into "no mapping". Built once per
// table and kept.
const ByteTable& utf8SingleBytes(const ByteTable& e2a);

// jef2sjis with every entry that is not a CP932 double-byte character
// turned into "no mapping".
const KanjiTable& utf8Kanji();

// The UTF-8 form of a CP932 character (a byte below 0x100, else a pair):
// its bytes in memory order, their count in the top byte; 0 where CP932
// has none.
std::uint32_t utf8Packed(std::uint16_t sjis);

// Bytes of UTF-8 that n bytes of Shift-JIS can need, with the stage's
// working slack.
inline constexpr std::size_t utf8Capacity(std::size_t n) { return 3 * n + 8; }

// Shift-JIS to UTF-8; out holds utf8Capacity(sjis.size()) bytes. Returns the
// length written. The tables above leave only CP932 characters (trimming
// removes whole ones); a byte the stage could still not read becomes U+FFFD.
std::size_t sjisToUtf8(std::span<const std::uint8_t> sjis, std::uint8_t* out);

// io with its write turning Shift-JIS into UTF-8 through buffer, which
// grows to the largest chunk. buffer must outlive the returned Io.
Io utf8Io(const Io& io, std::vector<std::uint8_t>& buffer);

}  // namespace velk::j2s
