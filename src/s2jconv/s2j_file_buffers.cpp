#include "s2jconv/s2j_file_buffers.h"

#include <algorithm>
#include <cstring>


namespace velk::s2j {

std::int64_t ReadAhead::read(std::uint8_t* p, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (pos_ == end_) {
            if (atEnd_) break;
            const std::int64_t got = in_.read(buf_.data(), buf_.size());
            if (got < 0) return -1;
            pos_ = 0;
            end_ = static_cast<std::size_t>(got);
            atEnd_ = end_ < buf_.size();
            if (end_ == 0) break;
        }
        const std::size_t take = std::min(n - done, end_ - pos_);
        std::memcpy(p + done, buf_.data() + pos_, take);
        pos_ += take;
        done += take;
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace velk::s2j
