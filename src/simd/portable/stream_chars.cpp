// The stream's characters one by one: one look-up gives a character's
// output bytes and their count, stored as one word whatever the count.
#include <bit>
#include <cstring>

#include "simd/portable/kernels.h"

namespace velk::simd::portable {

namespace {

constexpr std::uint8_t kKanjiIn = 0x28, kKanjiInAlt = 0x38, kKanjiOut = 0x29;

inline void put(std::uint8_t* out, std::size_t& o, std::uint32_t v) {
    std::memcpy(out + o, &v, sizeof v);  // little-endian: the first byte lowest
    o += v >> 24;
}

// The code of the kanji at p, its lead byte high.
inline std::uint32_t kanjiCode(const std::uint8_t* p) {
    std::uint16_t w;
    std::memcpy(&w, p, sizeof w);
    return std::endian::native == std::endian::little ? __builtin_bswap16(w) : w;
}

}  // namespace

void streamChars(const StreamChars& tables, const std::uint8_t* in, std::size_t n,
                 std::uint8_t* out, J2sCursor& cursor) {
    const std::uint32_t* chars = tables.chars;
    std::size_t i = cursor.in, o = cursor.out;
    bool dbcs = cursor.doubleByte;
    for (;;) {
        if (!dbcs) {
            for (; i < n; ++i) {
                const std::uint32_t v = chars[in[i]];
                if (v == 0) break;
                put(out, o, v);
            }
            if (i == n || (in[i] != kKanjiIn && in[i] != kKanjiInAlt)) break;
            dbcs = true;
            ++i;
        }
        for (; i + 1 < n; i += 2) {
            const std::uint32_t code = kanjiCode(in + i);
            if (code < 0x100) break;  // row 0 is the single bytes'
            const std::uint32_t v = chars[code];
            if (v == 0) break;
            put(out, o, v);
        }
        if (i == n || in[i] != kKanjiOut) break;
        dbcs = false;
        ++i;
    }
    cursor.in = i;
    cursor.out = o;
    cursor.doubleByte = dbcs;
}

}  // namespace velk::simd::portable
