// Helpers of the AVX2 kernels. A 64-byte window is two registers whose
// byte tests become one 64-bit mask, so the mask steps are the AVX-512
// kernels' own; what AVX2 lacks (a 256-entry permute, compresses, masked
// loads) is made up here once.
#pragma once

#include "simd/x86_bits.h"

#if defined(__x86_64__) && defined(__GNUC__)

#include <cstring>

#include "simd/jis_shortcut.h"

namespace velk::simd::avx2 {

struct Window {
    __m256i low, high;  // bytes 0-31, 32-63
};

VELK_AVX2 inline Window loadWindow(const std::uint8_t* p) {
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32))};
}

VELK_AVX2 inline void store(std::uint8_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// One bit a byte: the top bits of the bytes of both halves.
VELK_AVX2 inline std::uint64_t bitsOf(__m256i low, __m256i high) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(low)) |
           std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

VELK_AVX2 inline std::uint64_t equalBits(const Window& w, char byte) {
    const __m256i b = _mm256_set1_epi8(byte);
    return bitsOf(_mm256_cmpeq_epi8(w.low, b), _mm256_cmpeq_epi8(w.high, b));
}

VELK_AVX2 inline std::uint64_t zeroBits(__m256i low, __m256i high) {
    return bitsOf(_mm256_cmpeq_epi8(low, _mm256_setzero_si256()),
                  _mm256_cmpeq_epi8(high, _mm256_setzero_si256()));
}

// 32 bits of a mask as 32 bytes, 0xFF where the bit is set.
VELK_AVX2 inline __m256i bytesOf(std::uint32_t bits) {
    const __m256i spread = _mm256_shuffle_epi8(
        _mm256_set1_epi32(static_cast<int>(bits)),
        _mm256_setr_epi64x(0, 0x0101010101010101LL, 0x0202020202020202LL, 0x0303030303030303LL));
    const __m256i bit = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ULL));
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
}

// A table of 16-byte rows, one a register lane pair: sixteen rows hold 256
// bytes; eight, the ASCII half (bytes from 0x80 then give what they give).
template <int Rows>
struct RowLookup {
    __m256i rows[Rows];
};
using Lookup = RowLookup<16>;
using AsciiLookup = RowLookup<8>;

template <int Rows>
VELK_AVX2 inline void loadLookup(RowLookup<Rows>& t, const std::uint8_t* table) {
#pragma GCC unroll 16
    for (int h = 0; h < Rows; ++h)
        t.rows[h] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * h)));
}

// Every row looked up by the low nibble, then the high bits pick the row
// bit by bit: each round of blends takes bit 4, 5, 6 or 7, moved to the top.
template <int Rows>
VELK_AVX2 inline __m256i lookup(const RowLookup<Rows>& t, __m256i v) {
    const __m256i low = _mm256_and_si256(v, _mm256_set1_epi8(0x0F));
    __m256i c[Rows];
#pragma GCC unroll 16
    for (int h = 0; h < Rows; ++h) c[h] = _mm256_shuffle_epi8(t.rows[h], low);
    int shift = 3;
#pragma GCC unroll 4
    for (int width = Rows; width > 1; width /= 2, --shift) {
        const __m256i bit = _mm256_sll_epi16(v, _mm_cvtsi32_si128(shift));
#pragma GCC unroll 8
        for (int k = 0; k < width / 2; ++k) c[k] = _mm256_blendv_epi8(c[2 * k], c[2 * k + 1], bit);
    }
    return c[0];
}

// Shift JIS lead bytes are 0x80-0x9F and 0xE0-0xFC: one range once bit 5
// is flipped. 0xFF where a byte is one.
VELK_AVX2 inline __m256i leadBytesOf(__m256i v) {
    const __m256i x = _mm256_sub_epi8(_mm256_xor_si256(v, _mm256_set1_epi8(0x20)),
                                      _mm256_set1_epi8(static_cast<char>(0xA0)));
    return _mm256_cmpeq_epi8(_mm256_min_epu8(x, _mm256_set1_epi8(0x3C)), x);
}

// 0xFF where a byte is 0xA1-0xFE, the bytes of JIS X 0208.
VELK_AVX2 inline __m256i jisBytesOf(__m256i v) {
    const __m256i x = _mm256_sub_epi8(v, _mm256_set1_epi8(static_cast<char>(0xA1)));
    return _mm256_cmpeq_epi8(_mm256_min_epu8(x, _mm256_set1_epi8(93)), x);
}

// Shift JIS codes of JIS X 0208 pairs in 16-bit lanes (lead byte first in
// memory): row r and cell c (1-94) give the lead byte (r + 1) / 2 + 0x80
// (0xC0 from row 63 on), and the second byte c + 0x3F (one more from cell
// 64 on) in odd rows, c + 0x9E in even.
VELK_AVX2 inline __m256i jisArithmetic(__m256i pairs) {
    const __m256i row = _mm256_sub_epi16(_mm256_and_si256(pairs, _mm256_set1_epi16(0xFF)),
                                         _mm256_set1_epi16(0xA0));
    const __m256i cell = _mm256_sub_epi16(_mm256_srli_epi16(pairs, 8), _mm256_set1_epi16(0xA0));
    const __m256i lead = _mm256_add_epi16(
        _mm256_srli_epi16(_mm256_add_epi16(row, _mm256_set1_epi16(1)), 1),
        _mm256_blendv_epi8(_mm256_set1_epi16(0x80), _mm256_set1_epi16(0xC0),
                           _mm256_cmpgt_epi16(row, _mm256_set1_epi16(62))));
    const __m256i oddRow = _mm256_sub_epi16(_mm256_add_epi16(cell, _mm256_set1_epi16(0x3F)),
                                            _mm256_cmpgt_epi16(cell, _mm256_set1_epi16(63)));
    const __m256i rowIsOdd =
        _mm256_cmpeq_epi16(_mm256_and_si256(row, _mm256_set1_epi16(1)), _mm256_set1_epi16(1));
    const __m256i second =
        _mm256_blendv_epi8(_mm256_add_epi16(cell, _mm256_set1_epi16(0x9E)), oddRow, rowIsOdd);
    return _mm256_or_si256(lead, _mm256_slli_epi16(second, 8));
}

// 0xFFFF in each 16-bit lane that holds one of the irregular pairs.
VELK_AVX2 inline __m256i irregularPairs(__m256i pairs, const JisShortcut& jis) {
    __m256i hit = _mm256_setzero_si256();
    for (int k = 0; k < jis.count; ++k)
        hit = _mm256_or_si256(hit, _mm256_cmpeq_epi16(pairs, _mm256_set1_epi16(static_cast<short>(
                                                                  jis.irregular[k]))));
    return hit;
}

// Puts each kanji's entry in a table of two-byte entries over its two
// bytes (lead bytes at `leads`) in bytes[0, 64); true when one has none
// (its two bytes are then zero).
VELK_AVX2 inline bool kanjiByTable(const std::uint8_t* in, std::uint64_t leads,
                                   const std::uint8_t* table, std::uint8_t* bytes) {
    for (std::uint64_t rest = leads; rest != 0; rest &= rest - 1) {
        const int j = __builtin_ctzll(rest);
        std::uint16_t code, entry;
        std::memcpy(&code, in + j, 2);
        std::memcpy(&entry, table + 2 * std::size_t{__builtin_bswap16(code)}, 2);
        std::memcpy(bytes + j, &entry, 2);
    }
    const std::uint64_t zeros = zeroBits(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes)),
                                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + 32)));
    return (leads & zeros & (zeros >> 1)) != 0;
}

// Writes the bytes of src[0, 64) whose bit is set in `keep` to dst, in
// order, and returns how many. Stores eight bytes a step: dst must have room
// for 64.
VELK_BMI2 inline std::size_t compress(const std::uint8_t* src, std::uint64_t keep, std::uint8_t* dst) {
    std::size_t o = 0;
#pragma GCC unroll 8
    for (int g = 0; g < 8; ++g, keep >>= 8, src += 8) {
        const auto bits = static_cast<std::uint8_t>(keep);
        std::uint64_t word;
        std::memcpy(&word, src, 8);
        word = _pext_u64(word, _pdep_u64(bits, 0x0101010101010101ULL) * 0xFF);
        std::memcpy(dst + o, &word, 8);
        o += static_cast<std::size_t>(_mm_popcnt_u64(bits));
    }
    return o;
}


// Two slots an input byte, its shift code then its own byte, for 32 bytes.
VELK_AVX2 inline void interleave(__m256i codes, __m256i bytes, std::uint8_t* slots) {
    const __m256i low = _mm256_unpacklo_epi8(codes, bytes);
    const __m256i high = _mm256_unpackhi_epi8(codes, bytes);
    store(slots, _mm256_permute2x128_si256(low, high, 0x20));
    store(slots + 32, _mm256_permute2x128_si256(low, high, 0x31));
}

// s2j and u2j with shift codes: writes the window's output bytes (`low`,
// `high`, one a byte of input) whose bit is set in `kept`, each after the
// shift code its input byte has in `shifts` (0x28 before a double-byte
// character, whose first byte is set in `doubles`, 0x29 before a single
// one). Returns how many bytes it wrote; dst must have room for 128.
VELK_AVX2 inline std::size_t compressWithShifts(__m256i low, __m256i high, std::uint64_t doubles,
                                                std::uint64_t shifts, std::uint64_t kept,
                                                std::uint8_t* dst) {
    alignas(32) std::uint8_t slots[128];
    const __m256i shiftOut = _mm256_set1_epi8(0x29);
    const __m256i kanjiIn = _mm256_set1_epi8(0x28);
    interleave(_mm256_blendv_epi8(shiftOut, kanjiIn, bytesOf(static_cast<std::uint32_t>(doubles))),
               low, slots);
    interleave(_mm256_blendv_epi8(shiftOut, kanjiIn, bytesOf(static_cast<std::uint32_t>(doubles >> 32))),
               high, slots + 64);
    std::uint64_t firstKept, secondKept;
    slotMasks(shifts, kept, firstKept, secondKept);
    std::size_t o = compress(slots, firstKept, dst);
    return o + compress(slots + 64, secondKept, dst + o);
}

}  // namespace velk::simd::avx2

#endif
