#include "platform/error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

namespace velk::platform {

namespace {

// Runs that start in the same second; far more than ever run at once.
constexpr int kMaxSuffix = 1000;

std::string withSuffix(std::string_view path, int suffix) {
    std::string_view stem = path;
    std::string_view ext;
    if (path.size() >= 4 && path.substr(path.size() - 4) == ".txt") {
        stem = path.substr(0, path.size() - 4);
        ext = ".txt";
    }
    std::string name(stem);
    name += '_';
    name += std::to_string(suffix);
    name += ext;
    return name;
}

std::FILE* createExclusive(const char* path, int& error) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "w");
    if (file == nullptr) {
        error = errno;
        ::close(fd);
        ::unlink(path);
    }
    return file;
}

}  // namespace

ErrorLogOpen openErrorLog(char* logPath, std::size_t capacity) {
    ErrorLogOpen result;
    result.file = createExclusive(logPath, result.error);
    if (result.file != nullptr || result.error != EEXIST) return result;

    const std::string base(logPath);
    for (int suffix = 2; suffix <= kMaxSuffix; ++suffix) {
        const std::string name = withSuffix(base, suffix);
        if (name.size() >= capacity) {
            result.error = ENAMETOOLONG;
            break;
        }
        result.file = createExclusive(name.c_str(), result.error);
        if (result.file != nullptr) {
            std::memcpy(logPath, name.c_str(), name.size() + 1);
            return result;
        }
        if (result.error != EEXIST) break;
    }
    result.nameTaken = true;
    return result;
}

}  // namespace velk::platform
