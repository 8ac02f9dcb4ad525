#include "u2jconv/utf8_decode.h"

#include <cstring>

namespace velk::u2j {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

DecodeResult decodeUtf8(const cp932::Table& fromUnicode, std::span<const std::uint8_t> in,
                        bool endOfInput, std::uint8_t* out, std::vector<Substitute>& substitutes,
                        std::size_t maxRecorded) {
    const std::uint8_t* p = in.data();
    const std::size_t n = in.size();
    std::uint8_t* o = out;
    std::size_t i = 0;
    std::int64_t characters = 0;
    std::size_t recorded = 0;

    auto mark = [&](std::uint32_t value, std::uint8_t length) {
        if (recorded < maxRecorded) {
            substitutes.push_back({static_cast<std::size_t>(o - out), value, length});
            ++recorded;
        }
        if (length != 0) {
            *o++ = kMalformedMark;
        } else {
            o[0] = kUnmappedMark[0];
            o[1] = kUnmappedMark[1];
            o += 2;
        }
        ++characters;
    };

    while (i < n) {
        // ASCII 16 bytes at a time: text is mostly runs of it or of kanji.
        while (i + 16 <= n && ((load64(p + i) | load64(p + i + 8)) & kHighBits) == 0) {
            std::memcpy(o, p + i, 16);
            o += 16;
            i += 16;
            characters += 16;
        }
        if (i == n) break;
        const std::uint8_t b = p[i];
        if (b < 0x80) {
            *o++ = b;
            ++i;
            ++characters;
            continue;
        }
        // Continuation bytes allowed after b, the count needed, the lead's bits.
        std::uint8_t lo = 0x80, hi = 0xBF;
        std::size_t need;
        std::uint32_t cp;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;       // shorter forms are overlong
            else if (b == 0xED) hi = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;       // overlong
            else if (b == 0xF4) hi = 0x8F;  // beyond U+10FFFF
        } else {
            mark(b, 1);  // a continuation byte, C0, C1 or F5-FF
            ++i;
            continue;
        }
        std::size_t k = 1;
        std::uint32_t bytes = b;
        bool cut = false;
        for (; k <= need; ++k) {
            if (i + k == n) {
                cut = true;
                break;
            }
            const std::uint8_t c = p[i + k];
            if (c < lo || c > hi) break;
            cp = (cp << 6) | (c & 0x3F);
            bytes = (bytes << 8) | c;
            lo = 0x80;
            hi = 0xBF;
        }
        if (cut && !endOfInput) break;  // the rest comes with the next block
        if (k <= need) {
            mark(bytes, static_cast<std::uint8_t>(k));
            i += k;
            continue;
        }
        i += k;
        const std::uint16_t s = cp <= 0xFFFF ? fromUnicode[cp] : cp932::kNone;
        if (s == cp932::kNone) {
            mark(cp, 0);
        } else if (s < 0x100) {
            *o++ = static_cast<std::uint8_t>(s);
            ++characters;
        } else {
            o[0] = static_cast<std::uint8_t>(s >> 8);
            o[1] = static_cast<std::uint8_t>(s);
            o += 2;
            ++characters;
        }
    }
    return {i, static_cast<std::size_t>(o - out), characters};
}

}  // namespace velk::u2j
