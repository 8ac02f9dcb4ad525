#include "platform/log_path.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/platform.h"

namespace velk {

std::string logFileName(const std::tm& t) {
    char name[64];
    std::snprintf(name, sizeof name, "VELK_LOG_%d%02d%02d_%02d%02d%02d.txt", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return name;
}

std::string logDirectory() {
    const char* chosen = std::getenv("VELK_LOG_DIR");
    if (chosen != nullptr && *chosen != '\0') {
        std::string dir = chosen;
        if (dir.back() != '/') dir += '/';
        return dir;
    }
    // An installed copy lives in a directory its users cannot write.
    std::string dir = platform::executableDir();
    if (!dir.empty() && access(dir.c_str(), W_OK | X_OK) == 0) return dir;
    std::vector<char> cwd(4096);
    while (getcwd(cwd.data(), cwd.size()) == nullptr) {
        if (errno != ERANGE) return "./";
        cwd.resize(cwd.size() * 2);
    }
    dir = cwd.data();
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string makeLogPath() {
    std::string dir = logDirectory();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return dir + logFileName(local);
}

}  // namespace velk
