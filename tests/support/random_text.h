// Random inputs made of runs: each run repeats units (characters, pairs,
// line ends, bytes without a mapping) drawn from one pool, so that inputs
// hold both long clean stretches, which the 64-byte paths take, and the
// switches between kinds where they hand back to the byte loops.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace velk::test {

using Pool = std::vector<std::string>;

// Every byte value as a unit: whatever the pools leave out.
inline Pool anyByte() {
    Pool p;
    for (int b = 0; b < 256; ++b) p.push_back(std::string(1, static_cast<char>(b)));
    return p;
}

// Units from bytes first..last, each after `before` when given.
inline Pool byteRange(int first, int last, const std::string& before = "") {
    Pool p;
    for (int b = first; b <= last; ++b) p.push_back(before + static_cast<char>(b));
    return p;
}

// Up to maxLength bytes (the last unit may be cut, to leave a lead byte at
// the end): runs of 1 to 100 units, the last pool rarely.
inline std::string randomText(std::mt19937& rng, const std::vector<Pool>& pools, std::size_t maxLength) {
    std::string s;
    const std::size_t length = std::uniform_int_distribution<std::size_t>(0, maxLength)(rng);
    while (s.size() < length) {
        std::size_t k = std::uniform_int_distribution<std::size_t>(0, pools.size() * 4 - 1)(rng) / 4;
        if (k == pools.size() - 1 && rng() % 4 != 0) k = 0;
        const Pool& pool = pools[k];
        const int units = std::uniform_int_distribution<int>(1, 100)(rng);
        for (int u = 0; u < units && s.size() < length; ++u) s += pool[rng() % pool.size()];
    }
    s.resize(length);
    return s;
}

}  // namespace velk::test
