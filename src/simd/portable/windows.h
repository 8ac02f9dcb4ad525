// The portable level's 64-byte windows. Byte tests go sixteen bytes a
// vector, look-ups two bytes at a time into a scratch window, and the
// output is copied run by run between the bytes that are dropped or take a
// shift code: a class change then costs a few instructions, not a
// mispredicted branch, which is where the byte loops spend their time on
// mixed text. Little-endian only; elsewhere the byte loops take everything.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "simd/bits.h"
#include "simd/portable/runs.h"
#include "simd/portable/vectors.h"

namespace velk::simd::portable {

// How far past a window's output its run copies may write.
inline constexpr std::size_t kOvershoot = 31;

// A window's converted bytes, with room for the run copies to read past.
// Held as 16-bit units, which the pair look-ups store; read as bytes, or
// as AVX2 vectors.
struct Scratch {
    alignas(32) std::uint16_t units[(64 + 32) / 2] = {};
    std::uint8_t* bytes() { return reinterpret_cast<std::uint8_t*>(units); }
};

// The window's 64 bytes through a pair table (simd::makePairTable), one
// look-up for two bytes. The stores are volatile: left alone, the compiler
// packs the units into words, which costs more than it saves.
inline void lookupPairs(const std::uint8_t* in, const std::uint16_t* pairs, Scratch& scratch) {
    volatile std::uint16_t* units = scratch.units;
#pragma GCC unroll 32
    for (int k = 0; k < 32; ++k) units[k] = pairs[words::load16(in + 2 * k)];
}

// Where scratch[0, 64) holds a zero byte.
inline std::uint64_t zeroBytes(const std::uint8_t* scratch) {
    return equalBits(loadWindow64(scratch), 0);
}

// Puts each kanji's entry in a table of two-byte entries (lead bytes of
// in at `leads`) over its two bytes in scratch; an entry of 0 0 (none)
// leaves two zero bytes.
inline void kanjiWindow(const std::uint8_t* in, std::uint64_t leads, const std::uint8_t* table,
                        std::uint8_t* scratch) {
    // Two a step; past the last, the second is read at 64 and written to
    // scratch[64, 66), which nothing takes.
    for (std::uint64_t rest = leads; rest != 0;) {
        const auto j = static_cast<unsigned>(std::countr_zero(rest));
        rest &= rest - 1;
        const auto k = static_cast<unsigned>(std::countr_zero(rest));
        rest &= rest - 1;
        const std::uint16_t first = __builtin_bswap16(words::load16(in + j));
        const std::uint16_t second = __builtin_bswap16(words::load16(in + k));
        std::memcpy(scratch + j, table + 2 * std::size_t{first}, 2);
        std::memcpy(scratch + k, table + 2 * std::size_t{second}, 2);
    }
}

// Copies n bytes, 0 included: reads and writes up to 31 bytes past n.
// Runs between class changes are mostly short.
inline void copyRun(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    std::memcpy(dst, src, 32);
    if (n > 32) [[unlikely]]
        for (std::size_t k = 32; k < n; k += 16) std::memcpy(dst + k, src + k, 16);
}

// Writes scratch[0, step) to out without the bytes of `drops`; returns
// how many bytes. Writes up to kOvershoot past them.
inline std::size_t dropBytes(const std::uint8_t* scratch, std::size_t step, std::uint64_t drops,
                             std::uint8_t* out) {
    std::uint8_t* o = out;
    std::size_t from = 0;
    for (std::uint64_t rest = drops; rest != 0; rest &= rest - 1) {
        const auto j = static_cast<unsigned>(std::countr_zero(rest));
        copyRun(o, scratch + from, j - from);
        o += j - from;
        from = j + 1;
    }
    copyRun(o, scratch + from, step - from);
    return static_cast<std::size_t>(o - out) + (step - from);
}

// The same with the bytes of `shifts` each written after its shift code:
// 0x28 before a kanji (its lead byte set in `opens`), 0x29 before a single
// byte. Shift codes alternate, so each one is the last one's other.
inline std::size_t dropAndShift(const std::uint8_t* scratch, std::size_t step, std::uint64_t drops,
                                std::uint64_t shifts, std::uint64_t opens, std::uint8_t* out) {
    std::uint8_t* o = out;
    std::size_t from = 0;
    std::uint8_t code = (opens & shifts & (0 - shifts)) != 0 ? 0x28 : 0x29;
    for (std::uint64_t events = drops | shifts; events != 0; events &= events - 1) {
        const auto j = static_cast<unsigned>(std::countr_zero(events));
        copyRun(o, scratch + from, j - from);
        o += j - from;
        // Without a branch: a dropped byte's slot takes a code it then overwrites.
        const auto shifted = static_cast<unsigned>((shifts >> j) & 1);
        *o = code;
        o += shifted;
        code ^= static_cast<std::uint8_t>(shifted);
        from = j + 1 - shifted;
    }
    copyRun(o, scratch + from, step - from);
    return static_cast<std::size_t>(o - out) + (step - from);
}

// s2j: the characters a shift code goes before, for a window that takes
// `step` bytes: those whose kind (double-byte where `doubles` has their
// first byte) differs from the last character's. Bytes that start no
// character (second bytes, line ends) do not count. open carries the kind.
inline std::uint64_t shiftsBefore(std::uint64_t doubles, std::uint64_t characters, std::size_t step,
                                  bool& open) {
    const std::uint64_t carried = open ? 1 : 0;
    const std::uint64_t others = ~characters;
    // Each byte after a character takes its kind: adding a bit under each
    // double-byte character that others follow (or bit 0, for others that
    // the last window's kanji goes before) carries through them.
    const std::uint64_t seeds = (doubles & (others >> 1)) | (carried & others);
    const std::uint64_t runs = others | seeds;
    const std::uint64_t kind = doubles | (others & (runs ^ (runs + seeds)));
    const std::uint64_t before = (kind << 1) | carried;
    open = (kind >> (step - 1)) & 1;
    return (doubles & ~before) | (characters & ~doubles & before);
}

}  // namespace velk::simd::portable
