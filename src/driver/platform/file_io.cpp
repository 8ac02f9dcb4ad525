#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

namespace {

// A file never takes the place of a closed standard stream, so that "-"
// always means the stream the caller was given.
int aboveStdio(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int err = errno;
    ::close(fd);
    errno = err;
    return moved;
}

}  // namespace

FileHandle openInput(const char* path) {
    int fd = aboveStdio(::open(path, O_RDONLY | O_CLOEXEC));
    if (fd < 0) return FileHandle();
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return FileHandle();
    }
    return FileHandle(fd);
}

namespace {

FileHandle duplicate(int fd) { return FileHandle(fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1)); }

// Large enough for a quick first look, small enough for a slow producer: a
// single read returns whatever has arrived.
constexpr std::size_t kProbeBytes = std::size_t{1} << 16;

}  // namespace

FileHandle createOutput(const char* path) {
    return FileHandle(aboveStdio(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)));
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

bool isStdioPath(const char* path) { return std::strcmp(path, "-") == 0; }

DataInput DataInput::open(const char* path) {
    DataInput in;
    if (!isStdioPath(path)) {
        in.handle_ = openInput(path);
        return in;
    }
    FileHandle fd = duplicate(STDIN_FILENO);
    struct stat st;
    if (fd.isOpen() && fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return in;
    }
    in.handle_ = std::move(fd);
    return in;
}

DataInput::Probe DataInput::probe() {
    struct stat st;
    if (fstat(handle_.get(), &st) != 0) return Probe::Failed;
    if (S_ISREG(st.st_mode)) {
        // Standard input may have been read from before we got it.
        const off_t at = lseek(handle_.get(), 0, SEEK_CUR);
        size_ = static_cast<std::int64_t>(st.st_size) - std::max<std::int64_t>(at, 0);
        if (size_ < 0) size_ = 0;
        return size_ == 0 ? Probe::Empty : Probe::Ready;
    }
    size_ = kStream;
    head_.resize(kProbeBytes);
    ssize_t got;
    do {
        got = ::read(handle_.get(), head_.data(), head_.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        head_.clear();
        return Probe::Failed;
    }
    head_.resize(static_cast<std::size_t>(got));
    return got == 0 ? Probe::Empty : Probe::Ready;
}

std::int64_t DataInput::read(void* buf, std::size_t n) {
    auto* p = static_cast<unsigned char*>(buf);
    const std::size_t take = std::min(n, head_.size() - headAt_);
    if (take != 0) {
        std::memcpy(p, head_.data() + headAt_, take);
        headAt_ += take;
        if (headAt_ == head_.size()) {
            head_ = {};
            headAt_ = 0;
        }
    }
    if (take == n) return static_cast<std::int64_t>(n);
    const std::int64_t got = readFull(handle_.get(), p + take, n - take);
    if (got < 0) return -1;
    return static_cast<std::int64_t>(take) + got;
}

FileHandle createDataOutput(const char* path) {
    return isStdioPath(path) ? duplicate(STDOUT_FILENO) : createOutput(path);
}

}  // namespace velk
