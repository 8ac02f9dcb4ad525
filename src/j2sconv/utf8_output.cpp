#include "j2sconv/utf8_output.h"

#include <bit>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <utility>

#include "tblutf/cp932.h"

namespace velk::j2s {

namespace {

bool isLeadByte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// A character's UTF-8 bytes in memory order, its length in the top byte;
// 0 where there is no character.
std::uint32_t packed(std::uint16_t cp) {
    std::uint8_t bytes[4] = {};
    const int length = cp932::encodeUtf8(cp, bytes);
    bytes[3] = static_cast<std::uint8_t>(length);
    std::uint32_t v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
}

// Lead bytes 0x81-0x9F and 0xE0-0xFC, XOR 0x20, are 0xA1-0xDC: rows 0-59.
constexpr unsigned kLeadRows = 60;
unsigned leadRow(unsigned b) { return static_cast<std::uint8_t>((b ^ 0x20) - 0xA1); }

struct StageTables {
    std::uint32_t single[256]{};
    std::uint32_t pair[kLeadRows * 256]{};

    StageTables() {
        const cp932::Table& toUnicode = cp932::toUnicode();
        for (unsigned b = 0; b < 256; ++b) {
            if (isLeadByte(b)) {
                for (unsigned t = 0; t < 256; ++t) {
                    const std::uint16_t cp = toUnicode[b << 8 | t];
                    if (cp != cp932::kNone) pair[leadRow(b) * 256 + t] = packed(cp);
                }
            } else if (toUnicode[b] != cp932::kNone) {
                single[b] = packed(toUnicode[b]);
            }
        }
    }
};

const StageTables& stageTables() {
    static const auto t = std::make_unique<const StageTables>();
    return *t;
}

bool definedPair(const KanjiEntry& e) {
    return isLeadByte(e[0]) && cp932::toUnicode()[e[0] << 8 | e[1]] != cp932::kNone;
}

ByteTable narrowed(const ByteTable& e2a) {
    ByteTable t = e2a;
    for (std::uint8_t& v : t)
        if (v != 0 && (isLeadByte(v) || cp932::toUnicode()[v] == cp932::kNone)) v = 0;
    return t;
}

std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint32_t kReplacement = 0x03BDBFEF;  // U+FFFD, 3 bytes

}  // namespace

const ByteTable& utf8SingleBytes(const ByteTable& e2a) {
    static std::mutex lock;
    static std::list<std::pair<const ByteTable*, ByteTable>> kept;
    const std::lock_guard<std::mutex> hold(lock);
    for (const auto& [from, table] : kept)
        if (from == &e2a) return table;
    return kept.emplace_back(&e2a, narrowed(e2a)).second;
}

const KanjiTable& utf8Kanji() {
    static const auto table = [] {
        auto t = std::make_unique<KanjiTable>(jef2sjis);
        for (KanjiEntry& e : *t)
            if ((e[0] | e[1]) != 0 && !definedPair(e)) e = KanjiEntry{0, 0};
        return t;
    }();
    return *table;
}

std::size_t sjisToUtf8(std::span<const std::uint8_t> sjis, std::uint8_t* out) {
    const StageTables& t = stageTables();
    const std::uint8_t* src = sjis.data();
    const std::size_t n = sjis.size();
    std::size_t i = 0, o = 0;
    auto put = [&](std::uint32_t v) {
        std::memcpy(out + o, &v, sizeof v);  // the fourth byte is slack
        o += v >> 24;
    };
    while (i < n) {
        // ASCII eight bytes at a time; the word is stored whole and only the
        // bytes before the first other one count.
        while (i + 8 <= n) {
            const std::uint64_t w = load64(src + i);
            std::memcpy(out + o, &w, sizeof w);
            const std::uint64_t high = w & kHighBits;
            if (high != 0) {
                const auto ascii = static_cast<std::size_t>(std::countr_zero(high) / 8);
                i += ascii;
                o += ascii;
                break;
            }
            i += 8;
            o += 8;
        }
        // Then characters one by one up to the next ASCII byte; a lead byte
        // is told by arithmetic, so a kanji costs one look-up.
        while (i < n && src[i] >= 0x80) {
            const unsigned row = leadRow(src[i]);
            if (row < kLeadRows && i + 1 < n) {
                if (const std::uint32_t p = t.pair[row * 256 + src[i + 1]]) {
                    put(p);
                    i += 2;
                    continue;
                }
            }
            const std::uint32_t v = t.single[src[i]];
            put(v != 0 ? v : kReplacement);
            ++i;
        }
        if (i < n && i + 8 > n) {  // the last few ASCII bytes
            out[o++] = src[i++];
        }
    }
    return o;
}

std::uint32_t utf8Packed(std::uint16_t sjis) {
    const std::uint16_t cp = cp932::toUnicode()[sjis];
    return cp == cp932::kNone ? 0 : packed(cp);
}

Io utf8Io(const Io& io, std::vector<std::uint8_t>& buffer) {
    Io u = io;
    u.write = [write = io.write, &buffer](const std::uint8_t* p, std::size_t n) {
        if (buffer.size() < utf8Capacity(n)) buffer.resize(utf8Capacity(n));
        return write(buffer.data(), sjisToUtf8({p, n}, buffer.data()));
    };
    return u;
}

}  // namespace velk::j2s
