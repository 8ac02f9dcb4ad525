#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velk {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int FileHandle::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

bool FileHandle::close() {
    if (fd_ < 0) return true;
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

FileHandle openInput(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FileHandle();
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return FileHandle();
    }
    return FileHandle(fd);
}

FileHandle createOutput(const char* path) {
    return FileHandle(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

std::int64_t readFull(int fd, void* buf, std::size_t size) {
    auto* p = static_cast<unsigned char*>(buf);
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, p + got, size - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(got);
}

bool writeFull(int fd, const void* buf, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(buf);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool isSameFile(int fd, const char* path) {
    struct stat opened {}, named {};
    return fstat(fd, &opened) == 0 && stat(path, &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

std::int64_t fileSize(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

}  // namespace velk
