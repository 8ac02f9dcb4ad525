// Stream conversion 64 input bytes at a time, where the processor has
// AVX-512 byte permutes and compresses. Text that mixes kanji and EBCDIC
// switches mode every few bytes, and a byte loop pays a mispredicted branch
// at each shift code; here every window of 64 bytes costs the same.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velk::j2s {

struct StreamTables;

// Whether convertWindows does anything on this processor.
bool windowsAvailable();

// Where the conversion of one block stands; convertWindows moves it on.
struct WindowCursor {
    std::size_t in;   // next input byte; always the start of a character
    std::size_t out;  // next output byte
    bool doubleByte;
};

// Converts windows of in[cursor.in, n) while at least 64 bytes remain,
// exactly as convertBlock would. Stops before a window that holds a
// character without mapping, or a shift-code byte that is the second byte
// of a kanji, so that the byte loop deals with those. Output never runs
// ahead of input.
void convertWindows(const std::uint8_t* in, std::size_t n, std::uint8_t* out,
                    const StreamTables& tables, WindowCursor& cursor);

}  // namespace velk::j2s
