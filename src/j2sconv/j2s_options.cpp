#include "j2sconv/j2s_options.h"

#include "j2sconv/utf8_output.h"

namespace velk::j2s {

Options decodeOptions(int optConv, std::int32_t recSize, int optSkip, int trimFlags,
                      bool utf8) {
    Options o;
    o.e2a = optConv == 1 ? &e2aKana : optConv == 2 ? &e2aLower : &e2aAscii;
    o.a2e = optConv == 1 ? &a2eKana : optConv == 2 ? &a2eLower : &a2eAscii;
    o.skipShift = optSkip != 1;
    o.trimFlags = trimFlags;
    o.addLineEnd = recSize != 0;
    o.recSize = recSize;
    if (utf8) {
        o.utf8 = true;
        o.e2a = &utf8SingleBytes(*o.e2a);
        o.kanji = &utf8Kanji();
    }
    return o;
}

}  // namespace velk::j2s
