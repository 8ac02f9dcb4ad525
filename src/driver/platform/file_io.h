// Low-level file handles shared by the converters: an owning descriptor and
// reads and writes that finish the whole request (short counts and EINTR
// are retried), so a read error is never mistaken for the end of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <vector>

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

// "-" as a data path: standard input where an input is named, standard
// output where an output is.
bool isStdioPath(const char* path);

// A data input, opened by path or taken from standard input: a regular file,
// whose size is known from the start, or a stream (pipe, terminal, device),
// whose end is known only when a read comes up short.
class DataInput {
public:
    enum class Probe { Failed, Empty, Ready };
    static constexpr std::int64_t kStream = -1;

    // Opens path, or a duplicate of standard input for "-". Fails (errno
    // set) as openInput does, a directory on standard input included.
    static DataInput open(const char* path);

    bool isOpen() const { return handle_.isOpen(); }
    int fd() const { return handle_.get(); }

    // Called once before reading. A regular file gives the bytes from its
    // current position to its end; a stream waits for its first bytes, kept
    // for read(), so that an empty one is known before any output is made.
    // Failed: neither worked (errno set).
    Probe probe();
    // After probe: the bytes a regular file holds, or kStream.
    std::int64_t size() const { return size_; }

    // As readFull, starting with the bytes probe() took.
    std::int64_t read(void* buf, std::size_t n);

private:
    FileHandle handle_;
    std::int64_t size_ = kStream;
    std::vector<unsigned char> head_;  // read by probe, not yet handed out
    std::size_t headAt_ = 0;
};

// Creates or truncates an output as createOutput does, or returns a
// duplicate of standard output for "-".
FileHandle createDataOutput(const char* path);

}  // namespace velk
