#include "platform/log_path.h"

#include <cstdio>

#include "platform/platform.h"

namespace velk {

std::string logFileName(const std::tm& t) {
    char name[64];
    std::snprintf(name, sizeof name, "VELK_LOG_%d%02d%02d_%02d%02d%02d.txt", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return name;
}

std::string makeLogPath() {
    std::string dir = platform::executableDir();
    if (dir.empty()) return {};
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dir + logFileName(local);
}

}  // namespace velk
