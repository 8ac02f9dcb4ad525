#include "j2sconv/stream_convert.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "driver/file_io.h"
#include "driver/messages.h"
#include "driver/progress.h"
#include "tblank/single_byte_tables.h"

namespace velk::j2s {

namespace {

constexpr std::uint16_t kShiftIn = 0x100;
constexpr std::uint16_t kShiftOut = 0x200;
constexpr std::uint16_t kUnmapped = 0x400;

constexpr std::int64_t kWholeFileLimit = 32760;
constexpr std::int64_t kLargeFileBlock = kWholeFileLimit / 2;

bool isShiftIn(std::uint8_t b) { return (b | 0x10) == 0x38; }  // 0x28 or 0x38

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
    t.kanji = &jef2sjis;
    return t;
}

BlockOutcome convertBlock(std::span<const std::uint8_t> in, std::uint8_t* out,
                          const StreamTables& tables, bool& doubleByte, bool endsFile,
                          std::vector<StreamError>& errors) {
    const std::uint8_t* src = in.data();
    const std::size_t n = in.size();
    const auto& single = tables.single;
    const KanjiTable& kanji = *tables.kanji;
    std::size_t i = 0;
    std::size_t o = 0;
    BlockOutcome result;

    while (i < n) {
        if (!doubleByte) {
            std::uint16_t v = 0;
            while (i < n && (v = single[src[i]]) <= 0xFF) {
                out[o++] = static_cast<std::uint8_t>(v);
                ++i;
            }
            if (i == n) break;
            if (v & kUnmapped) {
                errors.push_back({StreamErrorKind::SingleByte, src[i], i});
                out[o++] = static_cast<std::uint8_t>(v);
            } else if (v == kShiftIn) {
                doubleByte = true;
            }
            ++i;
            continue;
        }
        while (i < n) {
            const std::uint8_t lead = src[i];
            if (isShiftIn(lead)) {
                ++i;
                continue;
            }
            if (lead == 0x29) {
                doubleByte = false;
                ++i;
                break;
            }
            if (i + 1 == n) {
                if (!endsFile) {
                    result.carried = true;
                    result.outLength = o;
                    result.consumed = i;
                    return result;
                }
                errors.push_back({StreamErrorKind::LoneLead, lead, i});
                out[o++] = ' ';
                ++i;
                break;
            }
            const std::uint16_t code = static_cast<std::uint16_t>(lead << 8 | src[i + 1]);
            const KanjiEntry& e = kanji[code];
            if ((e[0] | e[1]) == 0) {
                errors.push_back({StreamErrorKind::Kanji, code, i});
                out[o] = 0x81;
                out[o + 1] = 0x40;
            } else {
                out[o] = e[0];
                out[o + 1] = e[1];
            }
            o += 2;
            i += 2;
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

std::int32_t convertStream(Run& run, int optConv, std::int64_t blockLength) {
    const StreamTables tables = makeStreamTables(optConv);
    ProgressState progress;
    if (run.optLog == 1) showProgress(progress, 0, 0);

    bool doubleByte = false;
    bool hadUnmapped = false;
    std::int64_t position = 0;  // file offset of inBuf[0]
    std::int64_t lineEnds = 0;
    std::size_t carried = 0;    // a lead byte kept at inBuf[0] from the last block
    std::vector<StreamError> errors;

    for (;;) {
        // The block keeps its length with a carried byte in front, so with
        // recSize every later block starts one byte earlier; a block that
        // would be only the carried byte takes one more to make progress.
        const std::size_t want =
            static_cast<std::size_t>(std::max<std::int64_t>(blockLength - static_cast<std::int64_t>(carried), 1));
        const std::int64_t got = readFull(run.jefFile.get(), run.inBuf.data() + carried, want);
        if (got < 0) {
            say(run.optLog, "JEFファイルの読み込みに失敗しました\n");
            return -21;
        }
        const std::size_t n = carried + static_cast<std::size_t>(got);
        if (n == 0) break;
        const bool endsFile = static_cast<std::size_t>(got) < want ||
                              position + static_cast<std::int64_t>(n) == run.jefSize;

        const BlockOutcome block = convertBlock({run.inBuf.data(), n}, run.outBuf.data(), tables,
                                                doubleByte, endsFile, errors);
        if (!errors.empty()) {
            hadUnmapped = true;
            if (run.optLog == 1)
                for (const StreamError& e : errors) logError(run, e, position);
            errors.clear();
        }
        std::size_t outLength = block.outLength;
        if (run.addLineEnd) {
            run.outBuf[outLength++] = 0x0D;
            run.outBuf[outLength++] = 0x0A;
            ++lineEnds;
        }
        if (!writeFull(run.sjisFile.get(), run.outBuf.data(), outLength)) {
            const int err = errno;
            say(run.optLog, "シフトJISファイルの書き込みでエラーが発生しました(原因=%s)\n",
                std::strerror(err));
            return -25;
        }
        position += static_cast<std::int64_t>(block.consumed);
        carried = block.carried ? 1 : 0;
        if (block.carried) run.inBuf[0] = run.inBuf[n - 1];
        if (run.optLog == 1) showProgress(progress, position, run.jefSize);
    }
    if (hadUnmapped) return -1;
    // A count beyond the result's range still reports success.
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(lineEnds, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace velk::j2s
