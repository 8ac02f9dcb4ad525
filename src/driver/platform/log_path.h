#pragma once

#include <ctime>
#include <string>

namespace velk {

// Where the j2s error log goes: VELK_LOG_DIR when set; else the executable's
// directory when this user may create files there; else the current
// directory. With its trailing '/'.
std::string logDirectory();

// The j2s error-log path: logDirectory() followed by
// VELK_LOG_yyyymmdd_hhmmss.txt in local time.
std::string makeLogPath();

// The file name alone, for a given local time.
std::string logFileName(const std::tm& local);

}  // namespace velk
