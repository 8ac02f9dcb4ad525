#include "u2jconv/u2j_convert.h"

#include "simd/simd.h"
#include "tblknj/kanji_tables.h"
#include "tblutf/cp932.h"

namespace velk::u2j {

using s2j::kKanjiIn;
using s2j::kKanjiOut;
using s2j::kSpace;

// The fast paths read the entries' flags by these bits.
static_assert(std::uint32_t{Tables::Double} << 16 == simd::kU2jDouble);
static_assert(std::uint32_t{Tables::SingleError} << 16 == simd::kU2jNoMapping);
static_assert((std::uint32_t{Tables::DoubleError} << 16) == (simd::kU2jDouble | simd::kU2jNoMapping));

Tables makeTables(const s2j::Converter& conv) {
    Tables t;
    t.conv = conv;
    for (int b = 0; b < 0x80; ++b) t.plain[b] = conv.single[b];
    t.plain['\r'] = t.plain['\n'] = 0;
    t.entry.resize(65536);
    const cp932::Table& sjisOf = cp932::fromUnicode();
    for (unsigned cp = 0; cp < 65536; ++cp) {
        const unsigned s = sjisOf[cp];
        std::uint32_t e;
        if (s == cp932::kNone) {
            e = (Tables::DoubleError << 16) | (kSpace << 8) | kSpace;
        } else if (s < 0x100) {
            const std::uint8_t v = conv.single[s];
            e = v != 0 ? (Tables::Single << 16) | v : (Tables::SingleError << 16) | kSpace;
        } else {
            const KanjiEntry& j = sjis2jef[s];
            e = (j[0] | j[1]) != 0 ? (Tables::Double << 16) | (j[1] << 8) | j[0]
                                   : (Tables::DoubleError << 16) | (kSpace << 8) | kSpace;
        }
        t.entry[cp] = e;
    }
    return t;
}

s2j::BlockResult convertBlock(const Tables& t, std::span<const std::uint8_t> in, bool endOfInput,
                              s2j::CarriedState& state, std::uint8_t* out,
                              std::vector<ConversionError>& errors) {
    const std::uint8_t* p = in.data();
    const std::size_t n = in.size();
    const std::uint32_t* entry = t.entry.data();
    const std::uint8_t* plain = t.plain.data();
    const bool shift = t.conv.shiftCodes;
    bool open = state.kanjiOpen;
    std::int64_t lineFeeds = state.lineFeeds;
    std::int64_t lineStart = state.lineStart;
    std::int64_t at = state.offset;  // character index of p[i]
    std::uint8_t* o = out;
    std::size_t i = 0;

    // Errors are rare: keep their bookkeeping out of the loop's way.
    auto fail = [&](ErrorKind kind, std::uint32_t value, std::size_t length) {
        if (++state.errorCount > s2j::kErrorsRecorded) return;
        errors.push_back({kind, static_cast<std::uint8_t>(length), value, lineFeeds + 1,
                          at - lineStart + 1});
    };
    auto put = [&](std::uint32_t cp) {
        const std::uint32_t e = entry[cp];
        const std::uint32_t kind = e >> 16;
        if (kind & 1) {  // double-byte
            if (shift && !open) {
                *o++ = kKanjiIn;
                open = true;
            }
            o[0] = static_cast<std::uint8_t>(e);
            o[1] = static_cast<std::uint8_t>(e >> 8);
            o += 2;
            if (kind == Tables::DoubleError) [[unlikely]] fail(ErrorKind::NoJef, cp, 0);
        } else {
            if (open) {
                *o++ = kKanjiOut;
                open = false;
            }
            *o++ = static_cast<std::uint8_t>(e);
            if (kind == Tables::SingleError) [[unlikely]] fail(ErrorKind::NoEbcdic, cp, 0);
        }
    };

    // Where the processor can, whole windows go through the wide path; it
    // leaves a window that needs a decision to the byte loop, which then
    // takes at least that window before handing back.
    const simd::Level level = t.conv.level;
    const simd::U2jTables wide{entry, plain, shift};
    std::size_t wideFrom = level != simd::Level::portable ? 0 : SIZE_MAX;

    while (i < n) {
        if (i >= wideFrom) {
            simd::U2jCursor cursor{i, o, open, at, lineFeeds, lineStart};
            simd::u2jWindows(level, wide, p, n, cursor);
            i = cursor.in;
            o = cursor.out;
            open = cursor.kanjiOpen;
            at = cursor.chars;
            lineFeeds = cursor.lineFeeds;
            lineStart = cursor.lineStart;
            wideFrom = i + 64;
            if (i == n) break;
        }
        std::uint8_t b = p[i];
        if (b < 0x80) {
            std::uint8_t v = plain[b];
            if (v != 0) {
                // A run of ASCII that needs no decision, byte by byte: in
                // mixed text the runs are words, too short for words of
                // eight to pay.
                if (open) {
                    *o++ = kKanjiOut;
                    open = false;
                }
                const std::size_t from = i;
                do {
                    *o++ = v;
                    if (++i == n) break;
                    v = plain[p[i]];
                } while (v != 0);
                at += static_cast<std::int64_t>(i - from);
                continue;
            }
            if (b == '\n') {
                ++lineFeeds;
                ++i;
                lineStart = ++at;
                continue;
            }
            if (b != '\r') {  // no EBCDIC byte for it
                if (open) {
                    *o++ = kKanjiOut;
                    open = false;
                }
                fail(ErrorKind::NoEbcdic, b, 0);
                *o++ = kSpace;
            }
            ++i;
            ++at;
            continue;
        }
        // Most text beyond ASCII is three-byte sequences of kanji: a run of
        // them, each checked whole, while they are well formed and map.
        if ((b & 0xF0) == 0xE0) {
            const std::size_t from = i;
            while (i + 2 < n) {
                const std::uint32_t w = p[i] | (std::uint32_t{p[i + 1]} << 8) |
                                        (std::uint32_t{p[i + 2]} << 16);
                const std::uint32_t cp =
                    ((w & 0x0Fu) << 12) | ((w & 0x3F00u) >> 2) | ((w >> 16) & 0x3Fu);
                // Continuation bytes where they belong, not overlong, not a
                // surrogate.
                if ((w & 0xC0C0F0u) != 0x8080E0u || cp < 0x800 || (cp & 0xF800) == 0xD800) break;
                const std::uint32_t e = entry[cp];
                if ((e >> 16) != Tables::Double) break;
                if (shift && !open) {
                    *o++ = kKanjiIn;
                    open = true;
                }
                o[0] = static_cast<std::uint8_t>(e);
                o[1] = static_cast<std::uint8_t>(e >> 8);
                o += 2;
                i += 3;
            }
            if (i != from) {
                at += static_cast<std::int64_t>((i - from) / 3);
                continue;
            }
        }
        // Everything else, one step at a time: the continuation bytes
        // allowed after b, how many are needed, the lead's bits.
        std::uint8_t lo = 0x80, hi = 0xBF;
        std::size_t need = 0;
        std::uint32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0Fu;
            if (b == 0xE0) lo = 0xA0;       // shorter forms are overlong
            else if (b == 0xED) hi = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07u;
            if (b == 0xF0) lo = 0x90;       // overlong
            else if (b == 0xF4) hi = 0x8F;  // beyond U+10FFFF
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
            cp = (cp << 6) | (c & 0x3Fu);
            bytes = (bytes << 8) | c;
            lo = 0x80;
            hi = 0xBF;
        }
        if (cut && !endOfInput) break;  // the rest comes with the next block
        if (need == 0 || k <= need) {
            // A single-byte substitute: it must not land inside a kanji run.
            if (open) {
                *o++ = kKanjiOut;
                open = false;
            }
            *o++ = kSpace;
            fail(ErrorKind::Malformed, bytes, k);
        } else if (cp <= 0xFFFF) {
            put(cp);
        } else {  // CP932 has nothing beyond the BMP
            if (shift && !open) {
                *o++ = kKanjiIn;
                open = true;
            }
            o[0] = kSpace;
            o[1] = kSpace;
            o += 2;
            fail(ErrorKind::NoJef, cp, 0);
        }
        i += need == 0 ? 1 : k;
        ++at;
    }

    state.offset = at;
    state.lineFeeds = lineFeeds;
    state.lineStart = lineStart;
    state.kanjiOpen = open;
    return {i, static_cast<std::size_t>(o - out)};
}

}  // namespace velk::u2j
