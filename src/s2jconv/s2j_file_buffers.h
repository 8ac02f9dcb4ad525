// Large reads and writes under the block loop's small blocks: a block of
// 16,380 bytes per system call costs the file system more than the
// conversion itself. Reads go through ReadAhead; the loops gather their
// writes themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file_io.h"

namespace velk::s2j {

// Reads: four blocks a call. A larger buffer falls out of the second-level
// cache beside the code tables, and its copies then cost more than the
// calls it saves.
inline constexpr std::size_t kReadBytes = std::size_t{1} << 16;
// Writes: the file system takes large ones cheaper. The loops gather their
// output to this size (s2j::OutputGather) and write it straight from there.
inline constexpr std::size_t kWriteBytes = std::size_t{1} << 18;

// Serves reads from one large read ahead; same results as DataInput::read.
class ReadAhead {
public:
    explicit ReadAhead(DataInput& in) : in_(in), buf_(kReadBytes) {}

    // Fills up to n bytes; fewer only at the end of the input; -1 on error.
    std::int64_t read(std::uint8_t* p, std::size_t n);

private:
    DataInput& in_;
    std::vector<std::uint8_t> buf_;
    std::size_t pos_ = 0, end_ = 0;
    bool atEnd_ = false;
};

}  // namespace velk::s2j
