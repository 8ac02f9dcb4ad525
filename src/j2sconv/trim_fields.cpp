#include "j2sconv/trim_fields.h"

#include <cstring>

namespace velk::j2s {

namespace {

inline bool isLeadByte(std::uint8_t b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Every copy moves bytes left (w <= r), so the record is rewritten in place.
class FieldTrimmer {
public:
    FieldTrimmer(int flags, std::uint8_t* rec) : flags_(flags), rec_(rec) {}

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
        std::memmove(rec_ + w, rec_ + b, e - b);
        return w + (e - b);
    }

    std::size_t singleContent(std::size_t r, std::size_t e, std::size_t w) {
        if (flags_ & (trimSqueeze | trimStart)) {
            while (r < e && rec_[r] == ' ') ++r;
        }
        if (!(flags_ & trimSqueeze)) {
            if (flags_ & trimEnd) {
                while (e > r && rec_[e - 1] == ' ') --e;
            }
            return copy(r, e, w);
        }
        std::size_t kept = w;  // end of the last byte that is not a pad
        bool prevPad = false;
        for (; r < e; ++r) {
            std::uint8_t c = rec_[r];
            bool pad = c == ' ';
            if (pad && prevPad) continue;
            rec_[w++] = c;
            if (!pad) kept = w;
            prevPad = pad;
        }
        return kept;
    }

    // Walked character by character, so that a pad is only ever a whole
    // full-width blank and a kanji is never split.
    std::size_t doubleContent(std::size_t r, std::size_t e, std::size_t w) {
        auto padAt = [&](std::size_t i) {
            return i + 1 < e && rec_[i] == 0x81 && rec_[i + 1] == 0x40;
        };
        if (flags_ & (trimSqueeze | trimStart)) {
            while (padAt(r)) r += 2;
        }
        const bool squeeze = flags_ & trimSqueeze;
        const bool end = flags_ & (trimSqueeze | trimEnd);
        std::size_t kept = w;
        bool prevPad = false;
        while (r < e) {
            bool pad = padAt(r);
            std::size_t unit = pad || (isLeadByte(rec_[r]) && r + 1 < e) ? 2 : 1;
            if (!(pad && squeeze && prevPad)) {
                rec_[w] = rec_[r];
                if (unit == 2) rec_[w + 1] = rec_[r + 1];
                w += unit;
                if (!pad) kept = w;
            }
            prevPad = pad;
            r += unit;
        }
        return end ? kept : w;
    }

    int flags_;
    std::uint8_t* rec_;
};

}  // namespace

std::size_t trimFields(int trimFlags, std::uint8_t* record, std::size_t length) {
    FieldTrimmer trimmer(trimFlags, record);
    std::size_t r = 0, w = 0;
    bool anyField = false;
    while (r < length) {
        if (record[r] == ',') {
            ++r;
            continue;
        }
        const void* comma = std::memchr(record + r, ',', length - r);
        std::size_t e = comma ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(comma) - record)
                              : length;
        if (anyField) record[w++] = ',';
        w = trimmer.field(r, e, w);
        anyField = true;
        r = e;
    }
    return anyField ? w : length;
}

}  // namespace velk::j2s
