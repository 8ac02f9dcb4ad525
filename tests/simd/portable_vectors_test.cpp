// The portable windows' vector steps against their word fallbacks, which
// only machines without SSE2 or Advanced SIMD would otherwise run.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>

#include "simd/portable/vectors.h"

namespace {

using namespace velk::simd::portable;

TEST(PortableVectors, TopBitsAndBitCountAgreeWithTheirFallbacks) {
    std::mt19937_64 rng(99);
    for (int round = 0; round < 2000; ++round) {
        std::uint8_t bytes[16];
        std::uint32_t expected = 0;
        for (int k = 0; k < 16; ++k) {
            bytes[k] = static_cast<std::uint8_t>(rng());
            expected |= static_cast<std::uint32_t>(bytes[k] >> 7) << k;
        }
        const Bytes16 v = load16Bytes(bytes);
        ASSERT_EQ(topBits(v), expected);
        ASSERT_EQ(topBitsByWords(v), expected);
        const std::uint64_t x = rng() & rng();
        ASSERT_EQ(words::bitCount(x), static_cast<unsigned>(std::popcount(x)));
    }
}

}  // namespace
