// j2s pieces shared by the fuzz targets: a pattern file loaded from memory
// line by line as the worker loads it, and the loops' callbacks over memory.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "j2sconv/j2s_io.h"
#include "j2sconv/j2s_result.h"
#include "j2sconv/pattern_file.h"

namespace velk::fuzz {

// 0, or the worker's result for the first refusal.
inline std::int32_t loadPatterns(std::span<const std::uint8_t> text, const ByteTable& a2e,
                                 j2s::PatternSet& set) {
    using namespace velk::j2s;
    set = {};
    if (text.empty()) return kEmptyPattern;
    const std::string_view all(reinterpret_cast<const char*>(text.data()), text.size());
    for (std::size_t from = 0; from < all.size();) {
        std::size_t end = all.find('\n', from);
        end = end == std::string_view::npos ? all.size() : end + 1;
        const std::string_view line = patternLineOf(all.substr(from, end - from));
        from = end;
        if (line.empty()) continue;
        RecordPattern p;
        if (parsePatternLine(line, a2e, p).error != LineError::None) return kBadPattern;
        set.patterns.push_back(std::move(p));
    }
    switch (finishPatternSet(set)) {
        case SetError::NoPattern: return kEmptyPattern;
        case SetError::NoKeyword: return kBadPattern;
        case SetError::None: break;
    }
    return 0;
}

// The loops' callbacks over an input in memory and an output vector.
struct MemoryIo {
    std::span<const std::uint8_t> input;
    std::size_t position = 0;
    std::vector<std::uint8_t> output;
    std::vector<j2s::ConversionError> errors;  // offsets made absolute
    std::vector<j2s::Failure> failures;
    std::int64_t lastProgress = 0;
    j2s::Io io;

    explicit MemoryIo(std::span<const std::uint8_t> in) : input(in) {
        io.read = [this](std::uint8_t* p, std::size_t n) {
            // Like readFull: short only at the end of the input.
            const std::size_t got = std::min(n, input.size() - position);
            std::memcpy(p, input.data() + position, got);
            position += got;
            return static_cast<std::int64_t>(got);
        };
        io.write = [this](const std::uint8_t* p, std::size_t n) {
            output.insert(output.end(), p, p + n);
            return true;
        };
        io.reportErrors = [this](std::span<const j2s::ConversionError> es, std::int64_t start) {
            for (j2s::ConversionError e : es) {
                e.offset += static_cast<std::size_t>(start);
                errors.push_back(e);
            }
        };
        io.failed = [this](j2s::Failure f, int) { failures.push_back(f); };
        io.progress = [this](std::int64_t done) {
            if (done < lastProgress) std::abort();  // progress never goes back
            lastProgress = done;
        };
    }
    MemoryIo(const MemoryIo&) = delete;
};

}  // namespace velk::fuzz
