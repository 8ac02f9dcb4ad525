#pragma once

#include <ctime>
#include <string>

namespace velk {

// The j2s error-log path: the executable's directory followed by
// VELK_LOG_yyyymmdd_hhmmss.txt in local time; empty when the directory is
// unknown.
std::string makeLogPath();

// The file name alone, for a given local time.
std::string logFileName(const std::tm& local);

}  // namespace velk
