// u2j against s2j: the text decoded by a plain reference, one code point
// at a time by the book, into Shift-JIS (with a byte s2j always refuses
// where a character cannot be decoded or has no Shift-JIS form), then
// converted by s2j's block conversion, must give u2j's output and errors;
// u2j must give the same in blocks of any size, cutting sequences anywhere,
// at every fast-path level.
// Input: one option byte (optConv, optOther), one block-size byte, the text.
#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include "fuzz_support.h"
#include "s2jconv/s2j_convert.h"
#include "simd/level.h"
#include "tblutf/cp932.h"
#include "u2jconv/u2j_stream.h"

using namespace velk;

namespace {

// By the book: a sequence of n bytes (by the lead's high bits) is well
// formed when its value needs exactly n bytes, is no surrogate and is not
// beyond U+10FFFF. Where it is not, the malformed stretch is the longest
// start of some well-formed sequence, at least one byte: the free bits of
// the missing bytes give a range of values, which must meet the valid ones.
std::size_t lengthFor(std::uint8_t b) {
    return (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
}

bool canStart(std::span<const std::uint8_t> bytes, std::size_t n) {
    std::uint32_t value = bytes[0] & (0x7F >> n);
    for (std::size_t k = 1; k < bytes.size(); ++k) {
        if ((bytes[k] & 0xC0) != 0x80) return false;
        value = (value << 6) | (bytes[k] & 0x3F);
    }
    const unsigned freeBits = static_cast<unsigned>(6 * (n - bytes.size()));
    const std::uint32_t lo = value << freeBits, hi = lo | ((1u << freeBits) - 1);
    const std::uint32_t least = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
    const std::uint32_t most = n == 2 ? 0x7FF : n == 3 ? 0xFFFF : 0x10FFFF;
    if (hi < least || lo > most) return false;
    return !(lo >= 0xD800 && hi <= 0xDFFF);
}

// One character of the reference: where s2j sees it and what it stood for.
struct RefChar {
    bool mark;  // written as a byte s2j refuses
    u2j::ErrorKind kind;
    std::uint32_t value;
    std::uint8_t length;
    std::int64_t column;  // in characters
};

struct Reference {
    std::vector<std::uint8_t> sjis;
    std::map<std::pair<std::int64_t, std::int64_t>, RefChar> at;  // s2j's line, byte column
};

Reference reference(std::span<const std::uint8_t> in) {
    const cp932::Table& back = cp932::fromUnicode();
    Reference r;
    if (in.size() >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF) in = in.subspan(3);
    std::int64_t line = 1, byteColumn = 1, column = 1;
    auto add = [&](std::initializer_list<std::uint8_t> bytes, RefChar c) {
        c.column = column;
        r.at[{line, byteColumn}] = c;
        r.sjis.insert(r.sjis.end(), bytes);
        byteColumn += static_cast<std::int64_t>(bytes.size());
        ++column;
    };
    std::size_t i = 0;
    while (i < in.size()) {
        const std::size_t n = in[i] < 0x80 ? 1 : lengthFor(in[i]);
        if (n == 1 || (n != 0 && i + n <= in.size() && canStart(in.subspan(i, n), n))) {
            std::uint32_t cp = n == 1 ? in[i] : in[i] & (0x7F >> n);
            for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (in[i + k] & 0x3F);
            i += n;
            const std::uint16_t s = cp <= 0xFFFF ? back[cp] : cp932::kNone;
            if (cp == '\n') {
                r.sjis.push_back('\n');
                ++line;
                byteColumn = column = 1;
            } else if (s == cp932::kNone) {
                add({0x80, 0x00}, {true, u2j::ErrorKind::NoJef, cp, 0, 0});
            } else if (s < 0x100) {
                add({static_cast<std::uint8_t>(s)}, {false, u2j::ErrorKind::NoEbcdic, cp, 0, 0});
            } else {
                add({static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s)},
                    {false, u2j::ErrorKind::NoJef, cp, 0, 0});
            }
            continue;
        }
        std::size_t bad = 1;
        while (n != 0 && bad + 1 < n && i + bad < in.size() &&
               canStart(in.subspan(i, bad + 1), n))
            ++bad;
        if (n != 0 && !canStart(in.subspan(i, 1), n)) bad = 1;
        std::uint32_t bytes = 0;
        for (std::size_t k = 0; k < bad; ++k) bytes = (bytes << 8) | in[i + k];
        add({0x00}, {true, u2j::ErrorKind::Malformed, bytes, static_cast<std::uint8_t>(bad), 0});
        i += bad;
    }
    return r;
}

struct Converted {
    std::vector<std::uint8_t> out;
    std::vector<u2j::ConversionError> errors;
    std::int64_t errorCount = 0, lineFeeds = 0;
};

// The reference text through s2j, its errors told as u2j tells them.
Converted throughS2j(const s2j::Converter& conv, const Reference& ref) {
    Converted c;
    c.out.resize(2 * ref.sjis.size() + 1);
    std::vector<s2j::ConversionError> found;
    s2j::CarriedState state;
    const s2j::BlockResult r = s2j::convertBlock(conv, ref.sjis, true, state, c.out.data(), found);
    FUZZ_CHECK(r.consumed == ref.sjis.size());
    c.out.resize(r.written + s2j::finishRun(conv, state, c.out.data() + r.written));
    for (const s2j::ConversionError& e : found) {
        const auto it = ref.at.find({e.line, e.column});
        FUZZ_CHECK(it != ref.at.end());
        const RefChar& ch = it->second;
        u2j::ErrorKind kind = ch.kind;
        if (!ch.mark) kind = e.kind == s2j::ErrorKind::SingleByte ? u2j::ErrorKind::NoEbcdic
                                                                 : u2j::ErrorKind::NoJef;
        c.errors.push_back({kind, ch.length, ch.value, e.line, ch.column});
    }
    c.errorCount = state.errorCount;
    c.lineFeeds = state.lineFeeds;
    return c;
}

Converted throughU2j(const u2j::Tables& t, std::span<const std::uint8_t> text, std::size_t block) {
    Converted c;
    std::vector<std::uint8_t> inBuf(block), outBuf(2 * block);
    std::size_t readAt = 0;
    std::int64_t lastProgress = 0;
    u2j::StreamIo io{
        [&](std::uint8_t* to, std::size_t n) -> std::int64_t {
            FUZZ_CHECK(n > 0 && to >= inBuf.data() && to + n <= inBuf.data() + inBuf.size());
            const std::size_t k = std::min(n, text.size() - readAt);
            std::memcpy(to, text.data() + readAt, k);
            readAt += k;
            return static_cast<std::int64_t>(k);
        },
        [&](const std::uint8_t* from, std::size_t n) {
            c.out.insert(c.out.end(), from, from + n);
            return true;
        },
        [&](std::span<const u2j::ConversionError> es) {
            c.errors.insert(c.errors.end(), es.begin(), es.end());
        },
        [&](std::int64_t done) {
            FUZZ_CHECK(done >= lastProgress && done <= static_cast<std::int64_t>(text.size()));
            lastProgress = done;
        },
    };
    u2j::CarriedState state;
    const auto outcome = u2j::convertStream(t, static_cast<std::int64_t>(text.size()), inBuf,
                                            outBuf, io, state);
    FUZZ_CHECK(outcome.status == s2j::StreamStatus::Finished);
    FUZZ_CHECK(!state.chars.kanjiOpen);
    c.errorCount = state.chars.errorCount;
    c.lineFeeds = state.chars.lineFeeds;
    return c;
}

bool same(const Converted& a, const Converted& b) {
    if (a.out != b.out || a.errorCount != b.errorCount || a.lineFeeds != b.lineFeeds ||
        a.errors.size() != b.errors.size())
        return false;
    for (std::size_t k = 0; k < a.errors.size(); ++k) {
        const auto &x = a.errors[k], &y = b.errors[k];
        if (x.kind != y.kind || x.value != y.value || x.length != y.length || x.line != y.line ||
            x.column != y.column)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    static constexpr int convs[] = {1, 2, 3, 4, 9};
    const s2j::Converter conv = s2j::makeConverter(convs[options % 5], (options >> 3) & 1);
    const std::size_t block = 4 + input.byte() % 64;
    const std::span<const std::uint8_t> text = input.rest();

    const Converted expected = throughS2j(conv, reference(text));
    // At every fast-path level this processor has.
    static const u2j::Tables* cached[2][5][std::size(simd::kLevels)] = {};
    for (simd::Level level : simd::kLevels) {
        if (!simd::available(level)) continue;
        const u2j::Tables*& t = cached[(options >> 3) & 1][options % 5][static_cast<int>(level)];
        if (t == nullptr) {
            s2j::Converter leveled = conv;
            leveled.level = level;
            t = new u2j::Tables(u2j::makeTables(leveled));
        }
        FUZZ_CHECK(same(throughU2j(*t, text, std::max<std::size_t>(4, text.size())), expected));
        FUZZ_CHECK(same(throughU2j(*t, text, block), expected));
    }
    return 0;
}
