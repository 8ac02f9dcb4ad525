// Entry of the u2j worker: UTF-8 file to JEF/EBCDIC file, with s2j's
// arguments, results and messages.
#pragma once

#include <cstdint>

namespace velk {

std::int32_t runU2j(int optLog, int optConv, int optOther, const char* utf8Path,
                    const char* jefPath);

}  // namespace velk
