// Helpers shared by the fuzz targets: files in memory that the product can
// open by path, a quiet standard output, option bytes taken off the input,
// and invariant checks that stop the fuzzer like any crash.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace velk::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::velk::fuzz::fail(#cond, __FILE__, __LINE__))

// A memfd with a path under /proc/self/fd, so that code that opens files
// by name reads and writes memory. Each target keeps its files for the
// whole process and refills them for every input.
class MemFile {
public:
    explicit MemFile(const char* name) : fd_(memfd_create(name, 0)) {
        if (fd_ < 0) fail("memfd_create", __FILE__, __LINE__);
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;
    ~MemFile() { ::close(fd_); }

    const char* path() const { return path_.c_str(); }

    // Empties the file and rewinds the offset that dup'ed handles share.
    void clear() {
        if (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0)
            fail("clear", __FILE__, __LINE__);
    }

    void set(std::span<const std::uint8_t> bytes) {
        clear();
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = pwrite(fd_, bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(done));
            if (n <= 0) fail("pwrite", __FILE__, __LINE__);
            done += static_cast<std::size_t>(n);
        }
    }

    std::vector<std::uint8_t> contents() const {
        struct stat st {};
        if (fstat(fd_, &st) != 0) fail("fstat", __FILE__, __LINE__);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = pread(fd_, bytes.data() + done, bytes.size() - done,
                              static_cast<off_t>(done));
            if (n <= 0) fail("pread", __FILE__, __LINE__);
            done += static_cast<std::size_t>(n);
        }
        return bytes;
    }

    // A handle of its own on the same open file (offset shared), for a
    // FileHandle to own and close.
    int duplicate() const {
        int fd = dup(fd_);
        if (fd < 0) fail("dup", __FILE__, __LINE__);
        return fd;
    }

private:
    int fd_;
    std::string path_;
};

// Worker messages and progress go to standard output: noise here.
inline void quietStdout() {
    int fd = open("/dev/null", O_WRONLY);
    if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) fail("/dev/null", __FILE__, __LINE__);
    ::close(fd);
}

// Option bytes from the front of the input; zeros once it runs out.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}

    std::uint8_t byte() {
        if (n_ == 0) return 0;
        --n_;
        return *p_++;
    }

    // The bytes up to (not including) the first `stop`, which is consumed.
    std::span<const std::uint8_t> until(std::uint8_t stop) {
        std::size_t k = 0;
        while (k < n_ && p_[k] != stop) ++k;
        std::span<const std::uint8_t> part(p_, k);
        std::size_t skip = k < n_ ? k + 1 : k;
        p_ += skip;
        n_ -= skip;
        return part;
    }

    std::span<const std::uint8_t> rest() const { return {p_, n_}; }

private:
    const std::uint8_t* p_;
    std::size_t n_;
};

}  // namespace velk::fuzz
