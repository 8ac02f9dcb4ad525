#include "s2jconv/s2j_convert.h"

#include <array>

#include "simd/simd.h"
#include "tblknj/kanji_tables.h"

namespace velk::s2j {

namespace {

enum ByteClass : std::uint8_t { kSingle, kFirst, kCr, kLf };

// 0x80 counts as a first byte: sjis2jef maps nothing that starts with it.
constexpr std::array<std::uint8_t, 256> kClassOf = [] {
    std::array<std::uint8_t, 256> c{};
    for (int b = 0; b < 256; ++b) {
        if ((b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) c[b] = kFirst;
    }
    c[0x0D] = kCr;
    c[0x0A] = kLf;
    return c;
}();

// A run of kanji may go a word at a time when every pair whose first byte
// is not a first byte has no mapping: the word run then stops where the
// byte loop's run of first bytes ends.
bool onlyFirstBytesMap() {
    for (int lead = 0; lead < 256; ++lead) {
        if (kClassOf[lead] == kFirst) continue;
        for (int second = 0; second < 256; ++second) {
            const auto& e = sjis2jef[lead << 8 | second];
            if ((e[0] | e[1]) != 0) return false;
        }
    }
    return true;
}

}  // namespace

Converter makeConverter(int optConv, int optOther) {
    Converter conv{};
    conv.shiftCodes = optOther == 1;
    conv.level = simd::processLevel();
    switch (optConv) {
        case 9:  // bytes pass unchanged; NUL still has no mapping
            for (int b = 0; b < 256; ++b) conv.single[b] = static_cast<std::uint8_t>(b);
            break;
        case 1:
            conv.single = a2eKana;
            break;
        case 2:  // a-z become A-Z first; the kana table maps those
            conv.single = a2eKana;
            for (int b = 'a'; b <= 'z'; ++b) conv.single[b] = a2eKana[b - 0x20];
            break;
        case 3:
            conv.single = a2eLower;
            break;
        default:
            conv.single = a2eAscii;
            break;
    }
    conv.singlePairs.resize(simd::kPairEntries);
    simd::makePairTable(conv.single.data(), conv.singlePairs.data());
    static const bool kanjiWords = onlyFirstBytesMap();
    conv.kanjiWords = kanjiWords;
    return conv;
}

BlockResult convertBlock(const Converter& conv, std::span<const std::uint8_t> in,
                         bool endOfInput, CarriedState& state, std::uint8_t* out,
                         std::vector<ConversionError>& errors) {
    const std::uint8_t* p = in.data();
    std::size_t n = in.size();  // shortened when the last byte waits
    const std::int64_t base = state.offset;
    const bool shift = conv.shiftCodes;
    // Locals: stores through o could alias the converter, which would reload
    // these at every class change.
    const simd::Level level = conv.level;
    const bool kanjiWords = conv.kanjiWords;
    bool open = state.kanjiOpen;
    std::int64_t lineFeeds = state.lineFeeds;
    std::int64_t lineStart = state.lineStart;
    std::uint8_t* o = out;
    std::size_t i = 0;

    // Errors are rare: keep their bookkeeping out of the loop's way.
    auto fail = [&](ErrorKind kind, unsigned code) {
        if (++state.errorCount > kErrorsRecorded) return;
        std::int64_t at = base + static_cast<std::int64_t>(i);
        errors.push_back({kind, static_cast<std::uint16_t>(code), lineFeeds + 1,
                          at - lineStart + 1});
    };

    // Whole windows go through the wide path; it leaves a window with an
    // error to the byte loop, which then takes at least that window before
    // handing back.
    std::size_t wideFrom = conv.windows ? 0 : SIZE_MAX;

    // Runs of one class are converted by tight loops of their own: class
    // changes are where the time goes, not the bytes inside a run.
    while (i < n) {
        if (i >= wideFrom) {
            simd::S2jCursor cursor{i, o, open, lineFeeds, lineStart};
            simd::s2jWindows(level, {conv.single.data(), conv.singlePairs.data(), sjis2jef.front().data(),
                              conv.shiftCodes},
                             p, n, base, cursor);
            i = cursor.in;
            o = cursor.out;
            open = cursor.kanjiOpen;
            lineFeeds = cursor.lineFeeds;
            lineStart = cursor.lineStart;
            wideFrom = i + 64;
            if (i == n) break;
        }
        std::uint8_t b = p[i];
        switch (kClassOf[b]) {
            case kSingle:
                // The byte reported on failure is the input byte: the only
                // rewrite (a-z under optConv 2) always maps.
                if (open) {
                    *o++ = kKanjiOut;
                    open = false;
                }
                do {
                    std::uint8_t v = conv.single[b];
                    if (v == 0) [[unlikely]] {
                        fail(ErrorKind::SingleByte, b);
                        v = kSpace;
                    }
                    *o++ = v;
                    if (++i == n) break;
                    b = p[i];
                } while (kClassOf[b] == kSingle);
                break;
            case kFirst:
                if (i + 1 == n) {
                    if (!endOfInput) {
                        n = i;  // it starts the next block
                    } else {
                        // Its substitute is a single byte: it must not land
                        // inside a kanji run, where it would pair with the
                        // run's end.
                        if (open) {
                            *o++ = kKanjiOut;
                            open = false;
                        }
                        fail(ErrorKind::LoneFirst, b);
                        *o++ = kSpace;
                        ++i;
                    }
                    break;
                }
                if (shift && !open) {
                    *o++ = kKanjiIn;
                    open = true;
                }
                for (;;) {
                    if (kanjiWords) {
                        const std::size_t done =
                            simd::kanjiRun(level, p + i, n - i, o, sjis2jef.front().data());
                        i += done;
                        o += done;
                        if (i + 1 >= n) break;
                        b = p[i];
                        if (kClassOf[b] != kFirst) break;
                    }
                    const unsigned code = (unsigned{b} << 8) | p[i + 1];
                    const auto& jef = sjis2jef[code];
                    o[0] = jef[0];
                    o[1] = jef[1];
                    if ((jef[0] | jef[1]) == 0) [[unlikely]] {
                        fail(ErrorKind::DoubleByte, code);
                        o[0] = kSpace;
                        o[1] = kSpace;
                    }
                    o += 2;
                    i += 2;
                    if (i + 1 >= n) break;
                    b = p[i];
                    if (kClassOf[b] != kFirst) break;
                }
                break;
            case kCr:
                ++i;
                break;
            default:  // kLf
                ++lineFeeds;
                ++i;
                lineStart = base + static_cast<std::int64_t>(i);
                break;
        }
    }

    state.offset = base + static_cast<std::int64_t>(i);
    state.lineFeeds = lineFeeds;
    state.lineStart = lineStart;
    state.kanjiOpen = open;
    return {i, static_cast<std::size_t>(o - out)};
}

std::size_t finishRun(const Converter& conv, CarriedState& state, std::uint8_t* out) {
    if (!conv.shiftCodes || !state.kanjiOpen) return 0;
    state.kanjiOpen = false;
    out[0] = kKanjiOut;
    return 1;
}

}  // namespace velk::s2j
