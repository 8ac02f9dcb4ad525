#include "j2sconv/j2s_options.h"

namespace velk::j2s {

Options decodeOptions(int optConv, std::int32_t recSize, int optSkip, int trimFlags) {
    Options o;
    o.e2a = optConv == 1 ? &e2aKana : optConv == 2 ? &e2aLower : &e2aAscii;
    o.a2e = optConv == 1 ? &a2eKana : optConv == 2 ? &a2eLower : &a2eAscii;
    o.skipShift = optSkip != 1;
    o.trimFlags = trimFlags;
    o.addLineEnd = recSize != 0;
    o.recSize = recSize;
    return o;
}

}  // namespace velk::j2s
