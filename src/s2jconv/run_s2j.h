// Entry of the s2j worker: Shift-JIS file to JEF/EBCDIC file. Returns 0 or
// more (the line feeds read) on success, or an s2j::Result code.
#pragma once

#include <cstdint>

namespace velk {

std::int32_t runS2j(int optLog, int optConv, int optOther, const char* sjisPath,
                    const char* jefPath);

}  // namespace velk
