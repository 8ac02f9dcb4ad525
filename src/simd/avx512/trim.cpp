// Trimming of one field's content in a few vector steps: pads and kept
// bytes become bit masks, so a field costs the same whatever its mix of
// pads and text.
#include "simd/avx512/common.h"
#include "simd/avx512/kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)

namespace velk::simd::avx512 {

VELK_AVX512 bool trimSingle(const TrimRule& rule, std::uint8_t* record, std::size_t r,
                            std::size_t e, std::size_t& w) {
    if (e - r > 64) return false;
    const std::uint64_t bytes = lowBits(static_cast<unsigned>(e - r));
    const __m512i v = _mm512_maskz_loadu_epi8(bytes, record + r);
    const std::uint64_t blanks = _mm512_mask_cmpeq_epi8_mask(bytes, v, _mm512_set1_epi8(' '));
    const std::uint64_t keep = keptUnits(rule, bytes, blanks);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(keep));
    _mm512_mask_storeu_epi8(record + w, lowBits(count), _mm512_maskz_compress_epi8(keep, v));
    w += count;
    return true;
}

// False when a unit does not start with a lead byte: then units are no
// longer two bytes each and the byte walk takes the field.
VELK_AVX512 bool trimDouble(const TrimRule& rule, std::uint8_t* record, std::size_t r,
                            std::size_t e, std::size_t& w) {
    if (e - r > 64 || (e - r) % 2 != 0) return false;
    const auto length = static_cast<unsigned>(e - r);
    const std::uint64_t bytes = lowBits(length);
    const __m512i v = _mm512_maskz_loadu_epi8(bytes, record + r);
    if ((bytes & kEvenBits & ~leadByteMask(v)) != 0) return false;
    const std::uint64_t units = lowBits(length / 2);
    // The full-width blank 0x81 0x40, as a little-endian 16-bit unit.
    const std::uint64_t pads =
        _mm512_mask_cmpeq_epi16_mask(static_cast<__mmask32>(units), v, _mm512_set1_epi16(0x4081));
    const std::uint64_t keep = keptUnits(rule, units, pads);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(keep));
    _mm512_mask_storeu_epi16(record + w, static_cast<__mmask32>(lowBits(count)),
                             _mm512_maskz_compress_epi16(static_cast<__mmask32>(keep), v));
    w += 2 * count;
    return true;
}

// Masked loads and stores touch the content alone: in place is the same.
VELK_AVX512 std::size_t trimSingleInPlace(const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    std::size_t w = 0;
    return trimSingle(rule, p, 0, n, w) ? w : kNotTrimmed;
}

VELK_AVX512 std::size_t trimDoubleInPlace(const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    std::size_t w = 0;
    return trimDouble(rule, p, 0, n, w) ? w : kNotTrimmed;
}

}  // namespace velk::simd::avx512

#endif
