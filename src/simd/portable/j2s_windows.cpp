// j2s stream conversion 64 input bytes at a time at the portable level: the
// shift codes of a window found by 16-byte vectors, its characters from the
// same masks as at the other levels, every kanji from the table.
#include "simd/portable/kernels.h"
#include "simd/portable/windows.h"

namespace velk::simd::portable {

namespace {

// The shift codes of the window at p (0x28 and 0x38 in, 0x29 out) and the
// mode after each byte (bit set: double-byte), every shift-code byte taken
// for a shift code. Codes that alternate give the mode by a prefix sum;
// otherwise one step a code.
inline std::uint64_t shiftCodes(const std::uint8_t* p, bool doubleByte, std::uint64_t& mode) {
    const Window64 v = loadWindow64(p);
    const std::uint64_t shiftIn =
        windowBits(v, [](Bytes16 b) { return (b & splat(0xEF)) == splat(0x28); });
    const std::uint64_t shiftOut = equalBits(v, 0x29);
    const std::uint64_t shifts = shiftIn | shiftOut;
    const std::uint64_t carried = doubleByte ? ~std::uint64_t{0} : 0;
    mode = prefixXor(shifts) ^ carried;
    if (((shiftIn & ~mode) | (shiftOut & mode)) == 0) return shifts;
    mode = carried;
    for (std::uint64_t rest = shifts; rest != 0; rest &= rest - 1) {
        const std::uint64_t at = rest & (0 - rest);
        const std::uint64_t from = ~(at - 1);  // this byte and those above
        mode = (shiftIn & at) ? mode | from : mode & ~from;
    }
    return shifts;
}

}  // namespace

void j2sWindows(const J2sTables& tables, const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                J2sCursor& cursor) {
    if constexpr (!words::kLittleEndian) return;
    Scratch scratch;
    std::uint8_t* const bytes = scratch.bytes();

    std::size_t i = cursor.in;
    std::size_t o = cursor.out;
    bool doubleByte = cursor.doubleByte;

    // Output never runs ahead of input; the run copies' overshoot stays
    // inside the input's length too.
    while (i + 64 + kOvershoot + 1 <= n) {
        const std::uint8_t* p = in + i;
        std::uint64_t mode;
        const std::uint64_t shifts = shiftCodes(p, doubleByte, mode);
        JefWindow w;
        if (!jefWindowOf(mode, shifts, w)) break;
        lookupPairs(p, tables.plainPairs, scratch);
        kanjiWindow(p, w.leads, tables.kanji, bytes);
        // A single byte or kanji without mapping: the byte loop reports it.
        // A kanji that maps has a lead byte that is not 0.
        if (zeroBytes(bytes) & (w.singles | w.leads)) break;

        // Shift codes are dropped; every other byte gives one.
        o += dropBytes(bytes, w.step, w.shifts & w.window, out + o);
        doubleByte = (w.mode >> (w.step - 1)) & 1;
        i += w.step;
    }

    cursor.in = i;
    cursor.out = o;
    cursor.doubleByte = doubleByte;
}

}  // namespace velk::simd::portable
