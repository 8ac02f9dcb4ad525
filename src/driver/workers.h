// The three workers the driver dispatches to. Each returns its result code:
// 0 or more for success, -1 for conversion errors, other negatives for failure.
#pragma once

#include <cstdint>

namespace velk {

std::int32_t runS2j(int optLog, int optConv, int optOther, const char* sjisPath,
                    const char* jefPath);

// logPath is the driver's buffer of logPathCapacity bytes: the worker may
// write back the name it actually used.
std::int32_t runJ2s(int optLog, int optConv, int recSize, int optSkip, int trimFlags,
                    const char* jefPath, const char* sjisPath, const char* patnPath,
                    char* logPath, std::size_t logPathCapacity);

// s2j over a UTF-8 input.
std::int32_t runU2j(int optLog, int optConv, int optOther, const char* utf8Path,
                    const char* jefPath);

std::int32_t runMkp(int optLog, int optCsv, int optQuote, const char* copyPath,
                    const char* ptnPath);

}  // namespace velk
