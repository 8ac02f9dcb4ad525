// j2u characters one by one: one look-up gives a character's UTF-8 bytes
// and their count, stored as one word whatever the count.
#include <cstring>

#include "simd/portable/kernels.h"

namespace velk::simd::portable {

namespace {

constexpr std::uint8_t kKanjiIn = 0x28, kKanjiInAlt = 0x38, kKanjiOut = 0x29;

inline void put(std::uint8_t* out, std::size_t& o, std::uint32_t v) {
    std::memcpy(out + o, &v, sizeof v);  // little-endian: the first byte lowest
    o += v >> 24;
}

}  // namespace

void j2uChars(const J2uTables& tables, const std::uint8_t* in, std::size_t n, std::uint8_t* out,
              J2sCursor& cursor) {
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
            const std::uint32_t v = chars[j2uKanjiIndex(std::uint32_t{in[i]} << 8 | in[i + 1])];
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
