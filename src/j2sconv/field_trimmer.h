// The trimming of one field, shared by the post-pass over a record
// (trimFields) and the record walk, which trims each field as it ends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "j2sconv/trim_fields.h"
#include "simd/simd.h"

namespace velk::j2s::field_trim {

inline constexpr bool isLeadByte(std::uint8_t b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

inline constexpr std::array<std::uint8_t, 256> leadWidth = [] {
    std::array<std::uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = isLeadByte(static_cast<std::uint8_t>(b)) ? 2 : 1;
    return t;
}();

// Eight bytes at a time: blanks are the common pad and runs of them are long.
constexpr std::uint64_t eightBlanks = 0x2020202020202020ull;
constexpr std::uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;

inline std::uint64_t load8(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store8(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, sizeof v); }

// The top bit of each byte of the result is set where that byte of v equals
// the byte repeated in `eight`.
inline std::uint64_t equalBits(std::uint64_t v, std::uint64_t eight) {
    std::uint64_t x = v ^ eight;
    return ~(((x & low7) + low7) | x | low7);
}

inline std::uint64_t blankBits(std::uint64_t v) { return equalBits(v, eightBlanks); }

// dst <= src: every piece is loaded before anything at or past it is stored.
inline void moveLeft(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    for (; n >= 8; n -= 8, src += 8, dst += 8) store8(dst, load8(src));
    if (n & 4) {
        std::uint32_t v;
        std::memcpy(&v, src, 4);
        std::memcpy(dst, &v, 4);
        src += 4;
        dst += 4;
    }
    if (n & 2) {
        std::uint16_t v;
        std::memcpy(&v, src, 2);
        std::memcpy(dst, &v, 2);
        src += 2;
        dst += 2;
    }
    if (n & 1) *dst = *src;
}

// Every copy moves bytes left (w <= r), so the record is rewritten in place.
// With `inPlace`, each field is trimmed where it stands (w == b) in a buffer
// with simd::kTrimWindow bytes of room past it that may be overwritten.
class FieldTrimmer {
public:
    FieldTrimmer(int flags, std::uint8_t* rec, simd::Level level, bool inPlace = false)
        : flags_(flags),
          rec_(rec),
          level_(level),
          vector_(level != simd::Level::portable),
          inPlace_(inPlace),
          rule_{(flags & (trimSqueeze | trimStart)) != 0, (flags & (trimSqueeze | trimEnd)) != 0,
                (flags & trimSqueeze) != 0, (flags & (trimSqueeze | trimStart | trimEnd)) != 0} {}

    // Writes the field [b, e) at w and returns the new write position.
    std::size_t field(std::size_t b, std::size_t e, std::size_t w) {
        bool quoted = e - b >= 2 && rec_[b] == '"' && rec_[e - 1] == '"';
        std::size_t cb = quoted ? b + 1 : b, ce = quoted ? e - 1 : e;
        bool doubleByte = cb < ce && isLeadByte(rec_[cb]);
        if (!doubleByte && (flags_ & trimDoubleOnly)) return copy(b, e, w);
        if (quoted) rec_[w++] = '"';
        w = doubleByte ? doubleContent(cb, ce, w) : singleContent(cb, ce, w);
        if (quoted) rec_[w++] = '"';
        return w;
    }

private:
    std::size_t copy(std::size_t b, std::size_t e, std::size_t w) {
        if (w != b) moveLeft(rec_ + w, rec_ + b, e - b);
        return w + (e - b);
    }

    std::size_t singleContent(std::size_t r, std::size_t e, std::size_t w) {
        if (inPlace_ && r == w) {
            const std::size_t kept = simd::trimSingleInPlace(level_, rule_, rec_ + r, e - r);
            if (kept != simd::kNotTrimmed) return w + kept;
        } else if (vector_ && simd::trimSingle(level_, rule_, rec_, r, e, w)) {
            return w;
        }
        if (flags_ & (trimSqueeze | trimStart)) {
            while (e - r >= 8 && load8(rec_ + r) == eightBlanks) r += 8;
            while (r < e && rec_[r] == ' ') ++r;
        }
        if (flags_ & (trimSqueeze | trimEnd)) {
            while (e - r >= 8 && load8(rec_ + e - 8) == eightBlanks) e -= 8;
            while (e > r && rec_[e - 1] == ' ') --e;
        }
        if (!(flags_ & trimSqueeze)) return copy(r, e, w);
        // The content now starts and ends with other bytes: keep up to and
        // including the first blank of each inner run, drop the rest.
        std::size_t from = r;
        std::size_t i = r;
        for (;;) {
            while (i + 8 <= e) {
                std::uint64_t b = blankBits(load8(rec_ + i));
                std::uint64_t pairs = b & (b >> 8);
                if (pairs == 0) {
                    i += 7;
                    continue;
                }
                i += static_cast<std::size_t>(__builtin_ctzll(pairs)) / 8;
                break;
            }
            while (i + 1 < e && !(rec_[i] == ' ' && rec_[i + 1] == ' ')) ++i;
            if (i + 1 >= e) break;
            w = copy(from, i + 1, w);
            i += 2;
            while (rec_[i] == ' ') ++i;
            from = i;
        }
        return copy(from, e, w);
    }

    // Walked character by character, so that a pad is only ever a whole
    // full-width blank and a kanji is never split.
    std::size_t doubleContent(std::size_t r, std::size_t e, std::size_t w) {
        if (inPlace_ && r == w) {
            const std::size_t kept = simd::trimDoubleInPlace(level_, rule_, rec_ + r, e - r);
            if (kept != simd::kNotTrimmed) return w + kept;
        } else if (vector_ && simd::trimDouble(level_, rule_, rec_, r, e, w)) {
            return w;
        }
        if (flags_ & (trimSqueeze | trimStart)) {
            while (e - r >= 2 && rec_[r] == 0x81 && rec_[r + 1] == 0x40) r += 2;
        }
        const bool squeeze = flags_ & trimSqueeze;
        std::size_t from = r;  // start of the bytes not yet placed
        std::size_t kept = w;  // output end of the last character that is not a pad
        bool prevPad = false;
        std::size_t i = r;
        // Pure double-byte content steps in pairs without waiting on each lookup.
        for (; i + 1 < e && leadWidth[rec_[i]] == 2; i += 2) {
            if (rec_[i] == 0x81 && rec_[i + 1] == 0x40) {
                if (prevPad && squeeze) {
                    w = copy(from, i, w);
                    from = i + 2;
                }
                prevPad = true;
            } else {
                kept = w + (i + 2 - from);
                prevPad = false;
            }
        }
        while (i + 1 < e) {
            std::uint8_t b = rec_[i];
            if (b == 0x81 && rec_[i + 1] == 0x40) {
                if (prevPad && squeeze) {
                    w = copy(from, i, w);
                    from = i + 2;
                }
                prevPad = true;
                i += 2;
            } else {
                i += leadWidth[b];
                kept = w + (i - from);
                prevPad = false;
            }
        }
        if (i < e) kept = w + (e - from);  // a last single byte
        w = copy(from, e, w);
        return flags_ & (trimSqueeze | trimEnd) ? kept : w;
    }

    int flags_;
    std::uint8_t* rec_;
    simd::Level level_;
    bool vector_;   // the level has copying kernels
    bool inPlace_;
    simd::TrimRule rule_;  // the flags as the kernels take them
};

}  // namespace velk::j2s::field_trim
