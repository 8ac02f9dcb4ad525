#include "j2sconv/trim_fields.h"

#include <algorithm>

#include "j2sconv/field_trimmer.h"
#include "simd/simd.h"

namespace velk::j2s {

namespace {

using namespace field_trim;

// Fields are short: at the portable level a word search per field, which
// stops at the comma, is cheaper than marking whole stretches.
std::size_t findComma(const std::uint8_t* p, std::size_t from, std::size_t end) {
    constexpr std::uint64_t eightCommas = 0x2C2C2C2C2C2C2C2Cull;
    for (; from + 8 <= end; from += 8) {
        std::uint64_t hits = equalBits(load8(p + from), eightCommas);
        if (hits) return from + static_cast<std::size_t>(__builtin_ctzll(hits)) / 8;
    }
    while (from < end && p[from] != ',') ++from;
    return from;
}

}  // namespace

std::size_t trimFields(int trimFlags, std::uint8_t* record, std::size_t length, simd::Level level) {
    FieldTrimmer trimmer(trimFlags, record, level);
    // The vector levels mark commas 64 bytes at a time, ahead of the rewrite:
    // it only writes below the end of the field it is at, so marks past it
    // stay true.
    std::size_t base = 0, marked = 0;  // commas of record[base, marked) in `commas`
    std::uint64_t commas = 0;
    auto nextComma = [&](std::size_t from) {
        if (level == simd::Level::portable) return findComma(record, from, length);
        for (;;) {
            if (from >= marked) {
                base = from;
                marked = std::min(length, from + 64);
                commas = simd::commaBits(level, record + base, marked - base);
            }
            if (const std::uint64_t ahead = commas >> (from - base))
                return from + static_cast<std::size_t>(__builtin_ctzll(ahead));
            if (marked == length) return length;
            from = marked;
        }
    };
    std::size_t r = 0, w = 0;
    bool anyField = false;
    while (r < length) {
        if (record[r] == ',') {
            ++r;
            continue;
        }
        std::size_t e = nextComma(r);
        if (anyField) record[w++] = ',';
        w = trimmer.field(r, e, w);
        anyField = true;
        r = e;
    }
    return anyField ? w : length;
}

}  // namespace velk::j2s
