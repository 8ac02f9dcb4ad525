// Reading and checking the command line.
#pragma once

#include <cstdint>
#include <string>

#include "j2sconv/j2s_options.h"

namespace velk {

// Stands in for the pattern path when j2s is given none.
inline constexpr const char* kNoPattern = j2s::kNoPatternMark;
// A path must fit a 260-byte buffer with its terminating NUL.
inline constexpr std::size_t kMaxPathLength = 259;

enum class Command { None, S2j, J2s, Mkp, U2j, J2u, Version, Help };

struct CommandLine {
    Command command = Command::None;
    bool rejected = false;
    // The usage screen to show when rejected: the command word, or null for all screens.
    const char* usageWord = nullptr;
    // When rejected: one Shift-JIS line naming the argument at fault and its value.
    std::string reason;
    // --help, -h, --version, -V: the text on standard output, no key wait.
    bool toStdout = false;
    bool optLogRead = false;  // its first character was a digit
    std::int32_t optLog = 0;
    std::int32_t optConv = 0;   // s2j, j2s (and u2j, j2u: j2s for j2u throughout)
    std::int32_t optCsv = 0;    // mkp
    std::int32_t optOther = 0;  // s2j
    std::int32_t recSize = 0;   // j2s
    std::int32_t optQuote = 0;  // mkp
    std::int32_t optSkip = 0;   // j2s
    std::int32_t trimFlags = 0; // j2s
    // u2j's UTF-8 input path and j2u's UTF-8 output path are held in
    // sjisPath, as they take s2j's and j2s's arguments.
    std::string sjisPath, jefPath, patnPath, copyPath, ptnPath;
};

// Checks the arguments in their fixed order, stopping at the first failure.
CommandLine parseCommandLine(int argc, const char* const* argv);

}  // namespace velk
