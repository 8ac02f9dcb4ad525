// Low-level file handles shared by the converters: an owning descriptor and
// reads and writes that finish the whole request (short counts and EINTR
// are retried), so a read error is never mistaken for the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

namespace velk {

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    ~FileHandle() { close(); }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    int release();
    // Closes now; returns false when close reported an error.
    bool close();

private:
    int fd_ = -1;
};

// Opens an input for reading, in binary. Fails with EISDIR for a directory.
FileHandle openInput(const char* path);
// Creates (mode 0666 less the umask) or truncates an output; an existing
// file keeps its mode.
FileHandle createOutput(const char* path);

// Reads until `size` bytes or the end of the file. Returns the count read,
// or -1 on a read error (errno set).
std::int64_t readFull(int fd, void* buf, std::size_t size);
// Writes all bytes; false on error (errno set).
bool writeFull(int fd, const void* buf, std::size_t size);

// True when path names the very file open on fd (hard links and symbolic
// links included): truncating it as an output would destroy the input.
bool isSameFile(int fd, const char* path);

// Size of an open file, or -1 (errno set).
std::int64_t fileSize(int fd);

}  // namespace velk
