// Entry of the mkp worker: COBOL copy-book to record pattern file. Returns
// the record length on success, or one of the codes in copy_item.h.
#pragma once

#include <cstdint>

namespace velk {

std::int32_t runMkp(int optLog, int optCsv, int optQuote, const char* copyPath,
                    const char* ptnPath);

}  // namespace velk
