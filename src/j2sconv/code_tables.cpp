#include "j2sconv/code_tables.h"

#include <algorithm>

#include "j2sconv/utf8_output.h"
#include "shared/jef_codes.h"
#include "simd/simd.h"

namespace velk::j2s {

CodeTables makeCodeTables(const Options& options) {
    const ByteTable& e2a = *options.e2a;
    CodeTables t;
    for (int b = 0; b < 256; ++b) {
        t.single[b] = e2a[b] != 0 ? e2a[b] : static_cast<std::uint16_t>(kMarkUnmapped | jef::kSubstituteSingle);
        t.plain[b] = static_cast<std::uint8_t>(e2a[b]);
    }
    for (int code : {jef::kKanjiIn, jef::kKanjiInAlt}) t.single[code] |= kMarkKanjiIn;
    t.single[jef::kKanjiOut] |= kMarkKanjiOut;
    for (int code : {jef::kKanjiIn, jef::kKanjiOut, jef::kKanjiInAlt}) t.plain[code] = 0;
    t.plainPairs.resize(simd::kPairEntries);
    simd::makePairTable(t.plain.data(), t.plainPairs.data());
    t.plainNoComma = t.plain;
    std::replace(t.plainNoComma.begin(), t.plainNoComma.end(), std::uint8_t{','}, std::uint8_t{0});

    t.kanji.assign(options.kanji->begin(), options.kanji->end());
    for (int lead : {jef::kKanjiIn, jef::kKanjiOut, jef::kKanjiInAlt})
        std::fill_n(t.kanji.begin() + lead * 256, 256, KanjiEntry{0, 0});
    t.kanji.push_back(KanjiEntry{0, 0});
    t.jis = simd::findJisShortcut(t.kanji.front().data());
    t.level = simd::processLevel();
    // The stream's characters one look-up each: their output bytes and count.
    t.streamChars.assign(t.kanji.size(), 0);
    for (std::size_t code = 0x100; code < t.kanji.size(); ++code) {
        const KanjiEntry& e = t.kanji[code];
        if ((e[0] | e[1]) == 0) continue;
        t.streamChars[code] = options.utf8 ? utf8Packed(static_cast<std::uint16_t>(e[0] << 8 | e[1]))
                                           : (2u << 24 | std::uint32_t{e[1]} << 8 | e[0]);
    }
    for (int b = 0; b < 256; ++b)
        if (t.plain[b] != 0)
            t.streamChars[b] = options.utf8 ? utf8Packed(t.plain[b]) : (1u << 24 | t.plain[b]);
    t.utf8 = options.utf8;
    t.skipShift = options.skipShift;
    if (t.skipShift)
        for (int code : {jef::kKanjiIn, jef::kKanjiOut, jef::kKanjiInAlt}) t.skips[code] = 1;
    return t;
}

}  // namespace velk::j2s
