#include "j2sconv/stream_convert.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "j2sconv/code_marks.h"
#include "j2sconv/utf8_output.h"
#include "shared/jef_codes.h"
#include "simd/simd.h"

namespace velk::j2s {

namespace {

constexpr std::uint16_t kShiftIn = kMarkKanjiIn;
constexpr std::uint16_t kShiftOut = kMarkKanjiOut;
constexpr std::uint16_t kUnmapped = kMarkUnmapped;


// One loop for both outputs: j2u's fast path and the bytes of the step
// below differ, the decisions do not.
template <bool Utf8>
BlockOutcome convertBlockTo(std::span<const std::uint8_t> in, std::uint8_t* out,
                            const CodeTables& tables, bool& doubleByte, bool endsFile,
                            std::vector<ConversionError>& errors) {
    const std::uint8_t* __restrict src = in.data();
    std::uint8_t* __restrict dst = out;
    const std::size_t n = in.size();
    const std::uint16_t* single = tables.single.data();
    const std::uint8_t* plain = tables.plain.data();
    const KanjiEntry* kanji = tables.kanji.data();
    std::size_t i = 0;
    std::size_t o = 0;
    BlockOutcome result;

    const simd::J2sTables fast{plain, tables.plainPairs.data(), kanji->data(), &tables.jis};
    const simd::StreamChars chars{tables.streamChars.data()};
    // The step below writes a character as its Shift-JIS bytes, or for j2u
    // as the UTF-8 of the same code (the substitutes are CP932's too).
    auto putSingle = [&](std::uint8_t sjis) {
        if constexpr (Utf8) {
            const std::uint32_t u = utf8Packed(sjis);
            std::memcpy(dst + o, &u, sizeof u);
            o += u >> 24;
        } else {
            dst[o++] = sjis;
        }
    };
    auto putPair = [&](const std::uint8_t* sjis) {
        if constexpr (Utf8) {
            const std::uint32_t u = utf8Packed(static_cast<std::uint16_t>(sjis[0] << 8 | sjis[1]));
            std::memcpy(dst + o, &u, sizeof u);
            o += u >> 24;
        } else {
            dst[o] = sjis[0];
            dst[o + 1] = sjis[1];
            o += 2;
        }
    };
    const simd::Level level = tables.level;
    // A local copy: stores through dst could alias the caller's flag, which
    // would reload it at every character.
    bool dbcs = doubleByte;
    // Windows that need a decision are left to the runs below, which take
    // at least that window before handing back.
    std::size_t windowsFrom = 0;

    // Output never runs ahead of input (o <= i), so the kernels may store
    // whole words and vectors; only the bytes before the first one that
    // needs a decision count.
    while (i < n) {
        std::size_t done = 0;
        if (Utf8) {
            // One look-up a character, shift codes taken in passing.
            simd::J2sCursor cursor{i, o, dbcs};
            simd::streamChars(level, chars, src, n, dst, cursor);
            i = cursor.in;
            o = cursor.out;
            dbcs = cursor.doubleByte;
        } else {
            if (i >= windowsFrom) {
                simd::J2sCursor cursor{i, o, dbcs};
                simd::j2sWindows(level, fast, src, n, dst, cursor);
                i = cursor.in;
                o = cursor.out;
                dbcs = cursor.doubleByte;
                windowsFrom = i + 64;
            }
            bool stopped = false;
            done = !dbcs ? simd::plainRun(level, src + i, n - i, dst + o, plain, stopped)
                         : simd::kanjiRun(level, src + i, n - i, dst + o, kanji->data());
        }
        i += done;
        o += done;
        if (i == n) break;
        // One character the slow way, then back to the fast path of the
        // mode it leaves.
        const std::uint8_t b = src[i];
        const std::uint16_t v = single[b];
        if (v & kShiftIn) {
            dbcs = true;
            ++i;
        } else if (v & kShiftOut) {
            dbcs = false;
            ++i;
        } else if (!dbcs) {
            if (v & kUnmapped) errors.push_back({ConversionError::SingleByte, b, i});
            putSingle(static_cast<std::uint8_t>(v));
            ++i;
        } else if (i + 1 < n) {
            const std::uint16_t code = static_cast<std::uint16_t>(b << 8 | src[i + 1]);
            const KanjiEntry& e = kanji[code];
            if ((e[0] | e[1]) == 0) {
                errors.push_back({ConversionError::Kanji, code, i});
                putPair(jef::kSubstituteKanji);
            } else {
                putPair(e.data());
            }
            i += 2;
        } else if (!endsFile) {
            doubleByte = dbcs;
            result.carried = true;
            result.outLength = o;
            result.consumed = i;
            return result;
        } else {
            errors.push_back({ConversionError::LoneLeadByte, b, i});
            putSingle(jef::kSubstituteSingle);
            ++i;
        }
    }
    doubleByte = dbcs;
    result.outLength = o;
    result.consumed = n;
    return result;
}

}  // namespace

BlockOutcome convertBlock(std::span<const std::uint8_t> in, std::uint8_t* out,
                          const CodeTables& tables, bool& doubleByte, bool endsFile,
                          std::vector<ConversionError>& errors) {
    return tables.utf8 ? convertBlockTo<true>(in, out, tables, doubleByte, endsFile, errors)
                       : convertBlockTo<false>(in, out, tables, doubleByte, endsFile, errors);
}

std::int64_t streamBlockLength(std::int32_t recSize, std::int64_t jefSize) {
    if (recSize != 0) return recSize;
    return jefSize >= 0 && jefSize <= jef::kWholeFileLimit ? jefSize : jef::kLargeFileBlock;
}

BufferSizes streamBufferSizes(std::int64_t blockLength, std::int64_t inputSize) {
    // Reads are large, but never larger than the input: a block longer than
    // the file (a typing slip in recSize) takes only what the file holds.
    // The loop looks one byte past a block, to see whether the input ends
    // there. A stream starts at one read and the loop grows the buffers as
    // its blocks fill them.
    std::int64_t in =
        std::max({blockLength + 1, std::int64_t{2}, static_cast<std::int64_t>(kIoBytes)});
    in = std::min(in, inputSize >= 0 ? inputSize + 1 : static_cast<std::int64_t>(kIoBytes));
    in = std::max(in, std::int64_t{2});
    // Output is never longer than its input, plus the line end.
    return {static_cast<std::size_t>(in), static_cast<std::size_t>(in) + 2};
}

namespace {

// Grows buf to at least `size` bytes; false when memory is short.
bool growTo(std::vector<std::uint8_t>& buf, std::size_t size) {
    if (buf.size() >= size) return true;
    try {
        buf.resize(size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

}  // namespace

Outcome convertStream(const CodeTables& tables, const StreamJob& job,
                      std::vector<std::uint8_t>& inBuf, std::vector<std::uint8_t>& outBuf,
                      const Io& io) {
    const auto length = static_cast<std::size_t>(job.blockLength);

    std::size_t head = 0, tail = 0;  // unconverted input in inBuf[head, tail)
    bool atEof = false;
    std::int64_t position = 0;       // input offset of inBuf[head]
    std::size_t outLength = 0;       // converted bytes not yet written
    bool doubleByte = false;
    bool carried = false;            // inBuf[head] is a lead byte left by the last block
    Outcome outcome;
    std::vector<ConversionError> errors;

    auto fail = [&](Failure f, int error) {
        io.failed(f, error);
        outcome.failed = true;
        outcome.failure = f;
        return outcome;
    };
    auto flush = [&] {
        const bool ok = io.write(outBuf.data(), outLength);
        outLength = 0;
        return ok;
    };
    auto outOfMemory = [&] {
        if (!flush()) return fail(Failure::WriteFailed, errno);
        return fail(Failure::NoMemory, 0);
    };

    for (;;) {
        // A carried lead byte opens the next block, which keeps its length,
        // so with recSize every later block starts one byte earlier. A block
        // of one byte takes the whole kanji instead of looping on its lead.
        const std::size_t want = carried && length == 1 ? 2 : length;
        // One byte more tells whether the input ends with this block, where
        // its size is not known.
        const std::size_t need = want + 1;
        while (tail - head < need && !atEof) {
            // Blocks are cut from large reads; refill keeping what is left.
            if (head != 0) {
                std::memmove(inBuf.data(), inBuf.data() + head, tail - head);
                tail -= head;
                head = 0;
            }
            // A block longer than the buffer: more input than it was sized for.
            if (tail == inBuf.size() &&
                !growTo(inBuf, std::min(need, std::max<std::size_t>(2 * inBuf.size(), 64))))
                return outOfMemory();
            const std::size_t room = inBuf.size() - tail;
            const std::int64_t got = io.read(inBuf.data() + tail, room);
            if (got < 0) {
                if (!flush()) return fail(Failure::WriteFailed, errno);
                return fail(Failure::ReadFailed, 0);
            }
            atEof = static_cast<std::size_t>(got) < room;
            tail += static_cast<std::size_t>(got);
        }
        const std::size_t n = std::min(want, tail - head);
        if (n == 0) break;
        const bool endsFile = (atEof && head + n == tail) ||
                              position + static_cast<std::int64_t>(n) == job.inputSize;
        const std::size_t room = blockOutputBound(tables, n) + 2;  // and the line end
        if (outBuf.size() - outLength < room) {
            if (!flush()) return fail(Failure::WriteFailed, errno);
            if (!growTo(outBuf, room)) return outOfMemory();
        }

        const BlockOutcome block = convertBlock({inBuf.data() + head, n}, outBuf.data() + outLength,
                                                tables, doubleByte, endsFile, errors);
        if (!errors.empty()) {
            outcome.unmapped = true;
            io.reportErrors(errors, position);
            errors.clear();
        }
        carried = block.carried;
        if (block.consumed == 0) continue;  // only the lead byte: it opens a longer block
        outLength += block.outLength;
        if (job.addLineEnd) {
            outBuf[outLength++] = 0x0D;
            outBuf[outLength++] = 0x0A;
            ++outcome.lineEnds;
        }
        head += block.consumed;
        position += static_cast<std::int64_t>(block.consumed);
        io.progress(position);
    }
    if (!flush()) return fail(Failure::WriteFailed, errno);
    return outcome;
}

}  // namespace velk::j2s
