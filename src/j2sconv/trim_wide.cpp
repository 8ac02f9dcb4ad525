#include "j2sconv/trim_wide.h"

#include "j2sconv/trim_fields.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VELK_TRIM_WIDE 1
#endif

namespace velk::j2s {

#ifdef VELK_TRIM_WIDE

namespace {

#define VELK_TRIM_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi,bmi2,popcnt")))

bool available() {
    static const bool yes = __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi2") &&
                            __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return yes;
}

// Which of `units` (bit i: unit i of the content) stay, given which are
// pads: ends trimmed as the flags say, and under trimSqueeze only the first
// pad of an inner run kept.
VELK_TRIM_TARGET std::uint64_t keptUnits(int flags, std::uint64_t units, std::uint64_t pads) {
    const std::uint64_t solid = units & ~pads;
    // Every trimming bit empties a field of pads; trimDoubleOnly alone keeps it.
    if (solid == 0) return flags & (trimSqueeze | trimStart | trimEnd) ? 0 : units;
    std::uint64_t keep = units;
    if (flags & (trimSqueeze | trimStart)) keep &= ~std::uint64_t{0} << __builtin_ctzll(solid);
    if (flags & (trimSqueeze | trimEnd)) keep &= _bzhi_u64(~std::uint64_t{0}, 64 - __builtin_clzll(solid));
    if (flags & trimSqueeze) keep &= solid | (pads & (solid << 1));
    return keep;
}

VELK_TRIM_TARGET void trimSingle(int flags, std::uint8_t* record, std::size_t r, std::size_t e,
                                 std::size_t& w) {
    const std::uint64_t bytes = _bzhi_u64(~std::uint64_t{0}, static_cast<unsigned>(e - r));
    const __m512i v = _mm512_maskz_loadu_epi8(bytes, record + r);
    const std::uint64_t blanks = _mm512_mask_cmpeq_epi8_mask(bytes, v, _mm512_set1_epi8(' '));
    const std::uint64_t keep = keptUnits(flags, bytes, blanks);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(keep));
    _mm512_mask_storeu_epi8(record + w, _bzhi_u64(~std::uint64_t{0}, count),
                            _mm512_maskz_compress_epi8(keep, v));
    w += count;
}

// False when a unit does not start with a lead byte: then units are no
// longer two bytes each and the byte walk takes the field.
VELK_TRIM_TARGET bool trimDouble(int flags, std::uint8_t* record, std::size_t r, std::size_t e,
                                 std::size_t& w) {
    constexpr std::uint64_t evenBytes = 0x5555555555555555ULL;
    const auto length = static_cast<unsigned>(e - r);
    const std::uint64_t bytes = _bzhi_u64(~std::uint64_t{0}, length);
    const __m512i v = _mm512_maskz_loadu_epi8(bytes, record + r);
    // Lead bytes are 0x80-0x9F and 0xE0-0xFC: one range once bit 5 is flipped.
    const std::uint64_t leads = _mm512_cmplt_epu8_mask(
        _mm512_sub_epi8(_mm512_xor_si512(v, _mm512_set1_epi8(0x20)),
                        _mm512_set1_epi8(static_cast<char>(0xA0))),
        _mm512_set1_epi8(0x3D));
    if ((bytes & evenBytes & ~leads) != 0) return false;
    const std::uint64_t units = _bzhi_u64(~std::uint64_t{0}, length / 2);
    // The full-width blank 0x81 0x40, as a little-endian 16-bit unit.
    const std::uint64_t pads =
        _mm512_mask_cmpeq_epi16_mask(static_cast<__mmask32>(units), v, _mm512_set1_epi16(0x4081));
    const std::uint64_t keep = keptUnits(flags, units, pads);
    const auto count = static_cast<unsigned>(_mm_popcnt_u64(keep));
    _mm512_mask_storeu_epi16(record + w, static_cast<__mmask32>(_bzhi_u64(~std::uint64_t{0}, count)),
                             _mm512_maskz_compress_epi16(static_cast<__mmask32>(keep), v));
    w += 2 * count;
    return true;
}

}  // namespace

bool trimSingleContent(int trimFlags, std::uint8_t* record, std::size_t r, std::size_t e,
                       std::size_t& w) {
    if (e - r > 64 || !available()) return false;
    trimSingle(trimFlags, record, r, e, w);
    return true;
}

bool trimDoubleContent(int trimFlags, std::uint8_t* record, std::size_t r, std::size_t e,
                       std::size_t& w) {
    if (e - r > 64 || (e - r) % 2 != 0 || !available()) return false;
    return trimDouble(trimFlags, record, r, e, w);
}

#else

bool trimSingleContent(int, std::uint8_t*, std::size_t, std::size_t, std::size_t&) { return false; }
bool trimDoubleContent(int, std::uint8_t*, std::size_t, std::size_t, std::size_t&) { return false; }

#endif

}  // namespace velk::j2s
