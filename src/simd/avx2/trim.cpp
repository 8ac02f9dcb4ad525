// Trimming of one field's content of up to 64 bytes: pads and kept bytes
// become bit masks, and the kept bytes are packed eight at a time.
#include <cstring>

#include "simd/avx2/common.h"
#include "simd/avx2/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx2 {

namespace {

// The content [r, e) at the top of a 64-byte window: read from the record
// itself when it starts 64 bytes in, else through a buffer. `buffer` gets
// the window; the content starts at buffer + 64 - length.
VELK_AVX2 inline __attribute__((always_inline)) Window loadContent(const std::uint8_t* record, std::size_t r, std::size_t e,
                             std::uint8_t* buffer) {
    if (e >= 64) {
        const Window v = loadWindow(record + e - 64);
        store(buffer, v.low);
        store(buffer + 32, v.high);
        return v;
    }
    std::memset(buffer, 0, 64);
    std::memcpy(buffer + 64 - (e - r), record + r, e - r);
    return loadWindow(buffer);
}

// Copies n <= 64 bytes with a few overlapping stores, every load before its
// stores, so dst may overlap src from the left.
VELK_AVX2 inline __attribute__((always_inline)) void copyShort(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    if (n >= 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + n - 32));
        store(dst, a);
        store(dst + n - 32, b);
    } else if (n >= 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + n - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - 16), b);
    } else if (n >= 8) {
        std::uint64_t a, b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + n - 8, 8);
        std::memcpy(dst, &a, 8);
        std::memcpy(dst + n - 8, &b, 8);
    } else {
        for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
    }
}

// The kept bytes of the content (`keep` over its bits; the content also at
// the top of the window in `buffer`) to dst, which is at or before it.
VELK_AVX2 inline __attribute__((always_inline)) std::size_t writeKept(const std::uint8_t* buffer, std::size_t length, std::uint64_t keep,
                                const std::uint8_t* content, std::uint8_t* dst) {
    if (keep == 0) return 0;
    // Without squeezing, what stays is one stretch: a move, no packing.
    const unsigned from = static_cast<unsigned>(__builtin_ctzll(keep));
    if (((keep >> from) & ((keep >> from) + 1)) == 0) {
        const auto count = static_cast<std::size_t>(_mm_popcnt_u64(keep));
        copyShort(dst, content + from, count);
        return count;
    }
    std::uint8_t packed[64];
    const std::size_t count = compress(buffer + 64 - length, keep, packed);
    copyShort(dst, packed, count);
    return count;
}

}  // namespace

VELK_AVX2 std::uint64_t commaBits(const std::uint8_t* src, std::size_t n) {
    if (n == 64) return equalBits(loadWindow(src), ',');
    std::uint8_t buffer[64] = {};
    std::memcpy(buffer, src, n);
    return equalBits(loadWindow(buffer), ',');
}

VELK_AVX2 std::uint64_t commaWindow(const std::uint8_t* p) { return equalBits(loadWindow(p), ','); }

VELK_AVX2 bool trimSingle(const TrimRule& rule, std::uint8_t* record, std::size_t r,
                          std::size_t e, std::size_t& w) {
    if (e - r > 64) return false;
    const auto length = static_cast<unsigned>(e - r);
    std::uint8_t buffer[128];
    const Window v = loadContent(record, r, e, buffer);
    const std::uint64_t bytes = lowBits(length);
    const std::uint64_t blanks = length == 0 ? 0 : equalBits(v, ' ') >> (64 - length);
    w += writeKept(buffer, length, keptUnits(rule, bytes, blanks), record + r, record + w);
    return true;
}

// False when a unit does not start with a lead byte: then units are no
// longer two bytes each and the byte walk takes the field.
VELK_AVX2 bool trimDouble(const TrimRule& rule, std::uint8_t* record, std::size_t r,
                          std::size_t e, std::size_t& w) {
    if (e - r > 64 || (e - r) % 2 != 0) return false;
    const auto length = static_cast<unsigned>(e - r);
    if (length == 0) return false;
    std::uint8_t buffer[128];
    const Window v = loadContent(record, r, e, buffer);
    const unsigned shift = 64 - length;  // the content starts at an even bit
    const std::uint64_t bytes = lowBits(length);
    if ((bytes & kEvenBits & ~(bitsOf(leadBytesOf(v.low), leadBytesOf(v.high)) >> shift)) != 0)
        return false;
    // The full-width blank 0x81 0x40 as a pair of bytes; the window may start
    // at an odd offset, so the pairs are tested byte by byte.
    const std::uint64_t first = equalBits(v, static_cast<char>(0x81)) >> shift;
    const std::uint64_t second = equalBits(v, 0x40) >> shift;
    const std::uint64_t units = lowBits(length / 2);
    const std::uint64_t pads = _pext_u64(first & (second >> 1), kEvenBits) & units;
    const std::uint64_t keptBytes = _pdep_u64(keptUnits(rule, units, pads), kEvenBits) * 3;
    w += writeKept(buffer, length, keptBytes, record + r, record + w);
    return true;
}

// In place: the content at the bottom of a window read from p itself.

namespace {

// Packs the kept bytes of p[0, 64) to p and returns how many. What stays is
// mostly the content's start (nothing moves) or one stretch; else eight
// bytes a step, each loaded before anything is stored over it.
VELK_AVX2 inline __attribute__((always_inline)) std::size_t packInPlace(std::uint8_t* p, std::uint64_t keep) {
    const auto count = static_cast<std::size_t>(_mm_popcnt_u64(keep));
    if ((keep & (keep + 1)) == 0) return count;
    const unsigned from = static_cast<unsigned>(__builtin_ctzll(keep));
    if (((keep >> from) & ((keep >> from) + 1)) == 0) {
        copyShort(p, p + from, count);
        return count;
    }
    return compress(p, keep, p);
}

}  // namespace

VELK_AVX2 std::size_t trimSingleInPlace(const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    if (n > 64) return kNotTrimmed;
    const Window v = loadWindow(p);
    const std::uint64_t bytes = lowBits(static_cast<unsigned>(n));
    return packInPlace(p, keptUnits(rule, bytes, equalBits(v, ' ') & bytes));
}

VELK_AVX2 std::size_t trimDoubleInPlace(const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    if (n > 64 || n % 2 != 0 || n == 0) return kNotTrimmed;
    const Window v = loadWindow(p);
    const std::uint64_t bytes = lowBits(static_cast<unsigned>(n));
    if ((bytes & kEvenBits & ~bitsOf(leadBytesOf(v.low), leadBytesOf(v.high))) != 0) return kNotTrimmed;
    const std::uint64_t first = equalBits(v, static_cast<char>(0x81));
    const std::uint64_t second = equalBits(v, 0x40);
    const std::uint64_t units = lowBits(static_cast<unsigned>(n / 2));
    const std::uint64_t pads = _pext_u64(first & (second >> 1), kEvenBits) & units;
    return packInPlace(p, _pdep_u64(keptUnits(rule, units, pads), kEvenBits) * 3);
}

}  // namespace velk::simd::avx2

#endif
