// Trimming of one field's content of up to 64 bytes: pads and kept bytes
// become bit masks, and the kept bytes are packed eight at a time.
#include <cstring>

#include "simd/avx2/common.h"
#include "simd/avx2/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx2 {

namespace {

// The content in a buffer of 64, with zeros after it.
VELK_AVX2 Window loadContent(const std::uint8_t* src, std::size_t length, std::uint8_t* buffer) {
    std::memset(buffer, 0, 64);
    std::memcpy(buffer, src, length);
    return loadWindow(buffer);
}

VELK_AVX2 std::size_t writeKept(const std::uint8_t* buffer, std::uint64_t keep, std::uint8_t* dst) {
    alignas(32) std::uint8_t packed[64];
    const std::size_t count = compress(buffer, keep, packed);
    std::memcpy(dst, packed, count);
    return count;
}

}  // namespace

VELK_AVX2 bool trimSingle(const TrimRule& rule, std::uint8_t* record, std::size_t r,
                          std::size_t e, std::size_t& w) {
    if (e - r > 64) return false;
    alignas(32) std::uint8_t buffer[64];
    const Window v = loadContent(record + r, e - r, buffer);
    const std::uint64_t bytes = lowBits(static_cast<unsigned>(e - r));
    const std::uint64_t keep = keptUnits(rule, bytes, bytes & equalBits(v, ' '));
    w += writeKept(buffer, keep, record + w);
    return true;
}

// False when a unit does not start with a lead byte: then units are no
// longer two bytes each and the byte walk takes the field.
VELK_AVX2 bool trimDouble(const TrimRule& rule, std::uint8_t* record, std::size_t r,
                          std::size_t e, std::size_t& w) {
    if (e - r > 64 || (e - r) % 2 != 0) return false;
    alignas(32) std::uint8_t buffer[64];
    const auto length = static_cast<unsigned>(e - r);
    const Window v = loadContent(record + r, length, buffer);
    const std::uint64_t bytes = lowBits(length);
    if ((bytes & kEvenBits & ~bitsOf(leadBytesOf(v.low), leadBytesOf(v.high))) != 0) return false;
    // The full-width blank 0x81 0x40, as a little-endian 16-bit unit.
    const __m256i blank = _mm256_set1_epi16(0x4081);
    const std::uint64_t padBytes =
        bitsOf(_mm256_cmpeq_epi16(v.low, blank), _mm256_cmpeq_epi16(v.high, blank));
    const std::uint64_t units = lowBits(length / 2);
    const std::uint64_t keep = keptUnits(rule, units, _pext_u64(padBytes, kEvenBits) & units);
    const std::uint64_t keptBytes = _pdep_u64(keep, kEvenBits) * 3;
    w += writeKept(buffer, keptBytes, record + w);
    return true;
}

}  // namespace velk::simd::avx2

#endif
