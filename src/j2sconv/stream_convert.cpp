#include "j2sconv/stream_convert.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "driver/file_io.h"
#include "driver/messages.h"
#include "driver/progress.h"
#include "simd/simd.h"
#include "tblank/single_byte_tables.h"

namespace velk::j2s {

namespace {

constexpr std::uint16_t kShiftIn = 0x100;
constexpr std::uint16_t kShiftOut = 0x200;
constexpr std::uint16_t kUnmapped = 0x400;

constexpr std::int64_t kWholeFileLimit = 32760;
constexpr std::int64_t kLargeFileBlock = kWholeFileLimit / 2;
// Reads and writes span many blocks: fewer system calls, still cache-sized.
constexpr std::int64_t kIoBytes = 256 * 1024;

void logError(const Run& run, const StreamError& e, std::int64_t blockStart) {
    if (run.log == nullptr) return;
    const long position = static_cast<long>(blockStart + static_cast<std::int64_t>(e.index) + 1);
    const char* format = nullptr;
    switch (e.kind) {
        case StreamErrorKind::SingleByte:
            format = "EBCDIC->JIS 変換エラー(EBCDIC=0x%02x/%ldバイト目)\n";
            break;
        case StreamErrorKind::Kanji:
            format = "JEF->シフトJIS 変換エラー(JEF=0x%04x/%ldバイト目)\n";
            break;
        case StreamErrorKind::LoneLead:
            format = "JEF->シフトJIS 変換エラー(JEF=0x%02x/%ldバイト目)\n";
            break;
    }
    // Only standard output may be a terminal that needs its text converted.
    if (run.log == stdout)
        platform::printText(run.log, format, static_cast<unsigned>(e.code), position);
    else
        std::fprintf(run.log, format, static_cast<unsigned>(e.code), position);
}

}  // namespace

StreamTables makeStreamTables(int optConv) {
    StreamTables t;
    const ByteTable& e2a = e2aTableFor(optConv);
    for (int b = 0; b < 256; ++b)
        t.single[b] = e2a[b] != 0 ? e2a[b] : static_cast<std::uint16_t>(kUnmapped | ' ');
    t.single[0x28] = t.single[0x38] = kShiftIn;
    t.single[0x29] = kShiftOut;
    for (int b = 0; b < 256; ++b) t.plain[b] = t.single[b] <= 0xFF ? e2a[b] : 0;
    t.kanji.assign(jef2sjis.begin(), jef2sjis.end());
    for (int lead : {0x28, 0x29, 0x38})
        std::fill_n(t.kanji.begin() + lead * 256, 256, KanjiEntry{0, 0});
    t.kanji.push_back(KanjiEntry{0, 0});  // the windows read four bytes at each entry
    t.jis = simd::findJisShortcut(t.kanji.front().data());
    t.level = simd::processLevel();
    return t;
}

BlockOutcome convertBlock(std::span<const std::uint8_t> in, std::uint8_t* out,
                          const StreamTables& tables, bool& doubleByte, bool endsFile,
                          std::vector<StreamError>& errors) {
    const std::uint8_t* __restrict src = in.data();
    std::uint8_t* __restrict dst = out;
    const std::size_t n = in.size();
    const std::uint16_t* single = tables.single.data();
    const std::uint8_t* plain = tables.plain.data();
    const KanjiEntry* kanji = tables.kanji.data();
    std::size_t i = 0;
    std::size_t o = 0;
    BlockOutcome result;

    const simd::J2sTables fast{plain, kanji->data(), &tables.jis};
    // Windows that need a decision are left to the runs below, which take
    // at least that window before handing back.
    std::size_t windowsFrom = 0;

    // Output never runs ahead of input (o <= i), so the kernels may store
    // whole words and vectors; only the bytes before the first one that
    // needs a decision count.
    while (i < n) {
        if (tables.level != simd::Level::portable && i >= windowsFrom) {
            simd::J2sCursor cursor{i, o, doubleByte};
            simd::j2sWindows(tables.level, fast, src, n, dst, cursor);
            i = cursor.in;
            o = cursor.out;
            doubleByte = cursor.doubleByte;
            windowsFrom = i + 64;
        }
        if (!doubleByte) {
            bool stopped = false;
            const std::size_t done = simd::plainRun(tables.level, src + i, n - i, dst + o, plain, stopped);
            i += done;
            o += done;
        } else {
            const std::size_t done = simd::kanjiRun(tables.level, src + i, n - i, dst + o, kanji->data());
            i += done;
            o += done;
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
            if (v & kUnmapped) errors.push_back({StreamErrorKind::SingleByte, b, i});
            dst[o++] = static_cast<std::uint8_t>(v);
            ++i;
        } else if (i + 1 < n) {
            const std::uint16_t code = static_cast<std::uint16_t>(b << 8 | src[i + 1]);
            const KanjiEntry& e = kanji[code];
            if ((e[0] | e[1]) == 0) {
                errors.push_back({StreamErrorKind::Kanji, code, i});
                dst[o] = 0x81;
                dst[o + 1] = 0x40;
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
            errors.push_back({StreamErrorKind::LoneLead, b, i});
            dst[o++] = ' ';
            ++i;
        }
    }
    result.outLength = o;
    result.consumed = n;
    return result;
}

std::int64_t streamBlockLength(std::int32_t recSize, std::int64_t jefSize) {
    if (recSize != 0) return recSize;
    return jefSize <= kWholeFileLimit ? jefSize : kLargeFileBlock;
}

std::size_t streamBufferSize(std::int64_t blockLength) {
    return static_cast<std::size_t>(std::max({blockLength, std::int64_t{2}, kIoBytes}));
}

std::int32_t convertStream(Run& run, int optConv, std::int64_t blockLength) {
    const StreamTables tables = makeStreamTables(optConv);
    ProgressState progress;
    if (run.optLog == 1) showProgress(progress, 0, 0);

    std::uint8_t* const in = run.inBuf.data();
    std::uint8_t* const out = run.outBuf.data();
    const std::size_t inCapacity = run.inBuf.size();
    const std::size_t outCapacity = run.outBuf.size();
    const auto length = static_cast<std::size_t>(blockLength);

    std::size_t head = 0, tail = 0;  // unconverted input in in[head, tail)
    bool atEof = false;
    std::int64_t position = 0;       // file offset of in[head]
    std::size_t outLength = 0;       // converted bytes not yet written
    bool doubleByte = false;
    bool carried = false;            // in[head] is a lead byte left by the last block
    bool hadUnmapped = false;
    std::int64_t lineEnds = 0;
    std::vector<StreamError> errors;

    auto flush = [&] {
        if (writeFull(run.sjisFile.get(), out, outLength)) {
            outLength = 0;
            return true;
        }
        const int err = errno;
        say(run.optLog, "シフトJISファイルの書き込みでエラーが発生しました(原因=%s)\n",
            std::strerror(err));
        return false;
    };

    for (;;) {
        // A carried lead byte opens the next block, which keeps its length,
        // so with recSize every later block starts one byte earlier. A block
        // of one byte takes the whole kanji instead of looping on its lead.
        const std::size_t want = carried && length == 1 ? 2 : length;
        if (tail - head < want && !atEof) {
            // Blocks are cut from large reads; refill keeping what is left.
            std::memmove(in, in + head, tail - head);
            tail -= head;
            head = 0;
            const std::int64_t got = readFull(run.jefFile.get(), in + tail, inCapacity - tail);
            if (got < 0) {
                if (!flush()) return -25;
                say(run.optLog, "JEFファイルの読み込みに失敗しました\n");
                return -21;
            }
            atEof = static_cast<std::size_t>(got) < inCapacity - tail;
            tail += static_cast<std::size_t>(got);
        }
        const std::size_t n = std::min(want, tail - head);
        if (n == 0) break;
        const bool endsFile = (atEof && head + n == tail) ||
                              position + static_cast<std::int64_t>(n) == run.jefSize;
        if (outCapacity - outLength < n + 2 && !flush()) return -25;

        const BlockOutcome block = convertBlock({in + head, n}, out + outLength, tables,
                                                doubleByte, endsFile, errors);
        if (!errors.empty()) {
            hadUnmapped = true;
            if (run.optLog == 1)
                for (const StreamError& e : errors) logError(run, e, position);
            errors.clear();
        }
        carried = block.carried;
        if (block.consumed == 0) continue;  // only the lead byte: it opens a longer block
        outLength += block.outLength;
        if (run.addLineEnd) {
            out[outLength++] = 0x0D;
            out[outLength++] = 0x0A;
            ++lineEnds;
        }
        head += block.consumed;
        position += static_cast<std::int64_t>(block.consumed);
        if (run.optLog == 1) showProgress(progress, position, run.jefSize);
    }
    if (!flush()) return -25;
    if (hadUnmapped) return -1;
    // A count beyond the result's range still reports success.
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(lineEnds, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace velk::j2s
