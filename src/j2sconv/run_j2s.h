// Entry of the j2s worker, and its file side that tests use on its own.
#pragma once

#include <cstddef>
#include <cstdint>

#include "j2sconv/j2s_options.h"
#include "j2sconv/j2s_result.h"
#include "j2sconv/record_pattern.h"

namespace velk {

// JEF/EBCDIC file to Shift-JIS file. Returns 0 or more (the line ends
// written) on success, or a j2s::Result code. logPath is the driver's
// buffer of logPathCapacity bytes: the worker may write back the name it
// actually used.
std::int32_t runJ2s(int optLog, int optConv, int recSize, int optSkip, int trimFlags,
                    const char* jefPath, const char* sjisPath, const char* patnPath,
                    char* logPath, std::size_t logPathCapacity);

// The same run writing UTF-8: characters that code page 932 leaves
// undefined are conversion errors like unmapped ones.
std::int32_t runJ2u(int optLog, int optConv, int recSize, int optSkip, int trimFlags,
                    const char* jefPath, const char* utf8Path, const char* patnPath,
                    char* logPath, std::size_t logPathCapacity);

}  // namespace velk

namespace velk::j2s {

// Loads path into set (emptied first), writing messages under optLog.
// Returns 0, or kBadPattern, kPatternOpen, kEmptyPattern, kNoMemory.
std::int32_t loadPatternFile(int optLog, const Options& options, const char* path,
                             PatternSet& set);

}  // namespace velk::j2s
