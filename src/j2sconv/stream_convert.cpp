#include "j2sconv/stream_convert.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "j2sconv/code_marks.h"
#include "j2sconv/stream_wide.h"
#include "shared/jef_codes.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VELK_HAVE_VBMI_PATH 1
#endif

namespace velk::j2s {

namespace {

constexpr std::uint16_t kShiftIn = kMarkKanjiIn;
constexpr std::uint16_t kShiftOut = kMarkKanjiOut;
constexpr std::uint16_t kUnmapped = kMarkUnmapped;


// The wide paths move eight bytes as one word, in memory order.
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}
void store64(std::uint8_t* p, std::uint64_t w) { std::memcpy(p, &w, sizeof w); }
std::uint16_t load16(const std::uint8_t* p) {
    std::uint16_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// The top bit of every zero lane (8 or 16 bits wide) of w, and only those.
constexpr std::uint64_t kLow7Bytes = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t kLow15Pairs = 0x7FFF7FFF7FFF7FFFULL;
std::uint64_t zeroLanes(std::uint64_t w, std::uint64_t low) {
    return ~(((w & low) + low) | w | low);
}

#ifdef VELK_HAVE_VBMI_PATH
// Plain single bytes, 64 at a time through byte permutes of the 256-byte
// table. Returns how many were converted; stopped tells whether a byte that
// needs a decision ended the run (rather than the last whole 64 bytes).
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::size_t plainRun64(
    const std::uint8_t* src, std::size_t n, std::uint8_t* dst, const std::uint8_t* plain,
    bool& stopped) {
    const __m512i t0 = _mm512_loadu_si512(plain);
    const __m512i t1 = _mm512_loadu_si512(plain + 64);
    const __m512i t2 = _mm512_loadu_si512(plain + 128);
    const __m512i t3 = _mm512_loadu_si512(plain + 192);
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i idx = _mm512_loadu_si512(src + i);
        const __m512i low = _mm512_permutex2var_epi8(t0, idx, t1);
        const __m512i high = _mm512_permutex2var_epi8(t2, idx, t3);
        const __m512i v = _mm512_mask_blend_epi8(_mm512_movepi8_mask(idx), low, high);
        _mm512_storeu_si512(dst + i, v);
        const __mmask64 stops = _mm512_testn_epi8_mask(v, v);
        if (stops != 0) {
            stopped = true;
            return i + static_cast<std::size_t>(std::countr_zero(stops));
        }
    }
    stopped = false;
    return i;
}
#endif

}  // namespace

StreamTables makeStreamTables(const ByteTable& e2a, const KanjiTable& kanji) {
    StreamTables t;
    for (int b = 0; b < 256; ++b)
        t.single[b] = e2a[b] != 0 ? e2a[b] : static_cast<std::uint16_t>(kUnmapped | jef::kSubstituteSingle);
    t.single[jef::kKanjiIn] = t.single[jef::kKanjiInAlt] = kShiftIn;
    t.single[jef::kKanjiOut] = kShiftOut;
    for (int b = 0; b < 256; ++b) t.plain[b] = t.single[b] <= 0xFF ? e2a[b] : 0;
    t.kanji.assign(kanji.begin(), kanji.end());
    for (int lead : {jef::kKanjiIn, jef::kKanjiOut, jef::kKanjiInAlt})
        std::fill_n(t.kanji.begin() + lead * 256, 256, KanjiEntry{0, 0});
    t.kanji.push_back(KanjiEntry{0, 0});  // the windows read four bytes at each entry
    t.windows = windowsAvailable();
    t.jis = findJisShortcut(t.kanji.data());
#ifdef VELK_HAVE_VBMI_PATH
    t.wide = __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw");
#endif
    return t;
}

BlockOutcome convertBlock(std::span<const std::uint8_t> in, std::uint8_t* out,
                          const StreamTables& tables, bool& doubleByte, bool endsFile,
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

    // Windows that need a decision are left to the paths below, which take
    // at least that window before handing back.
    std::size_t windowsFrom = 0;

    // The fast paths take eight bytes as one word and store eight. Output
    // never runs ahead of input (o <= i), so a whole word always fits, and
    // only the bytes before the first one that needs a decision count.
    while (i < n) {
        if (tables.windows && i >= windowsFrom) {
            WindowCursor cursor{i, o, doubleByte};
            convertWindows(src, n, dst, tables, cursor);
            i = cursor.in;
            o = cursor.out;
            doubleByte = cursor.doubleByte;
            windowsFrom = i + 64;
        }
        if (!doubleByte) {
            bool stopped = false;
#ifdef VELK_HAVE_VBMI_PATH
            if (tables.wide && i + 64 <= n) {
                const std::size_t done = plainRun64(src + i, n - i, dst + o, plain, stopped);
                i += done;
                o += done;
            }
#endif
            while (!stopped && kLittleEndian && i + 8 <= n) {
                const std::uint64_t w = load64(src + i);
                std::uint64_t packed = 0;
#pragma GCC unroll 8
                for (int k = 0; k < 8; ++k)
                    packed |= std::uint64_t{plain[(w >> (8 * k)) & 0xFF]} << (8 * k);
                store64(dst + o, packed);
                if (const std::uint64_t stops = zeroLanes(packed, kLow7Bytes)) {
                    const auto bytes = static_cast<std::size_t>(std::countr_zero(stops) / 8);
                    i += bytes;
                    o += bytes;
                    break;
                }
                i += 8;
                o += 8;
            }
        } else {
            while (kLittleEndian && i + 8 <= n) {
                // Byte-swapped, each 16-bit lane is a code, the last pair lowest.
                const std::uint64_t codes = __builtin_bswap64(load64(src + i));
                std::uint64_t packed = 0;
#pragma GCC unroll 4
                for (int k = 0; k < 4; ++k) {
                    const auto code = static_cast<std::uint16_t>(codes >> (16 * (3 - k)));
                    packed |= std::uint64_t{load16(kanji[code].data())} << (16 * k);
                }
                store64(dst + o, packed);
                if (const std::uint64_t stops = zeroLanes(packed, kLow15Pairs)) {
                    const auto pairs = static_cast<std::size_t>(std::countr_zero(stops) / 16);
                    i += 2 * pairs;
                    o += 2 * pairs;
                    break;
                }
                i += 8;
                o += 8;
            }
        }
        if (i == n) break;
        // One character the slow way, then back to the fast path of the
        // mode it leaves.
        const std::uint8_t b = src[i];
        const std::uint16_t v = single[b];
        if (v == kShiftIn) {
            doubleByte = true;
            ++i;
        } else if (v == kShiftOut) {
            doubleByte = false;
            ++i;
        } else if (!doubleByte) {
            if (v & kUnmapped) errors.push_back({ConversionError::SingleByte, b, i});
            dst[o++] = static_cast<std::uint8_t>(v);
            ++i;
        } else if (i + 1 < n) {
            const std::uint16_t code = static_cast<std::uint16_t>(b << 8 | src[i + 1]);
            const KanjiEntry& e = kanji[code];
            if ((e[0] | e[1]) == 0) {
                errors.push_back({ConversionError::Kanji, code, i});
                dst[o] = jef::kSubstituteKanji[0];
                dst[o + 1] = jef::kSubstituteKanji[1];
            } else {
                dst[o] = e[0];
                dst[o + 1] = e[1];
            }
            o += 2;
            i += 2;
        } else if (!endsFile) {
            result.carried = true;
            result.outLength = o;
            result.consumed = i;
            return result;
        } else {
            errors.push_back({ConversionError::LoneLeadByte, b, i});
            dst[o++] = jef::kSubstituteSingle;
            ++i;
        }
    }
    result.outLength = o;
    result.consumed = n;
    return result;
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

Outcome convertStream(const StreamTables& tables, const StreamJob& job,
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
        if (outBuf.size() - outLength < n + 2) {
            if (!flush()) return fail(Failure::WriteFailed, errno);
            if (!growTo(outBuf, n + 2)) return outOfMemory();
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
