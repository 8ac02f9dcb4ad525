// Conversion of a JEF/EBCDIC file as one shift-coded stream: 0x28 and 0x38
// switch to kanji, 0x29 back to single bytes, and no shift code is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "j2sconv/code_tables.h"
#include "j2sconv/j2s_io.h"

namespace velk::j2s {

struct BlockOutcome {
    std::size_t outLength = 0;  // bytes written to out
    std::size_t consumed = 0;   // input bytes converted
    bool carried = false;       // the last byte is a lead byte left for the next block
};

// Bytes that convertBlock may write for n bytes of input: as many for
// Shift-JIS, three a byte for UTF-8 (a kanji pair or a half-width kana
// gives three), and the slack of its four-byte stores.
inline std::size_t blockOutputBound(const CodeTables& tables, std::size_t n) {
    return (tables.utf8 ? 3 * n : n) + 4;
}

// Converts one block into out, which must hold blockOutputBound bytes:
// Shift-JIS, or UTF-8 where the tables are j2u's. doubleByte
// carries the shift state from block to block. A kanji lead byte that ends
// the block is carried, unless endsFile says nothing follows it. Each
// character without mapping is appended to errors.
BlockOutcome convertBlock(std::span<const std::uint8_t> in, std::uint8_t* out,
                          const CodeTables& tables, bool& doubleByte, bool endsFile,
                          std::vector<ConversionError>& errors);

// Bytes per block: recSize when given, else the whole file up to 32,760
// bytes, else (a stream too) 16,380.
std::int64_t streamBlockLength(std::int32_t recSize, std::int64_t jefSize);

struct StreamJob {
    std::int64_t blockLength = 0;  // streamBlockLength
    // Size of the input when opened: the block reaching it is the last. -1
    // for a stream, whose last block is the one a short read ends.
    std::int64_t inputSize = 0;
    bool addLineEnd = false;       // CR LF after every block
};

// Converts the whole input block by block, reading and writing many blocks
// at a time through io. The buffers start as streamBufferSizes says and grow
// only when a block outruns them (input beyond the size it was opened with).
Outcome convertStream(const CodeTables& tables, const StreamJob& job,
                      std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out, const Io& io);

}  // namespace velk::j2s
