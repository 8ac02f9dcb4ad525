#include "u2jconv/u2j_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "tblutf/cp932.h"
#include "u2jconv/utf8_decode.h"

namespace velk::u2j {

namespace {

bool isFirstByte(std::uint8_t b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Characters in decoded Shift-JIS that starts at a character.
std::int64_t countCharacters(const std::uint8_t* p, std::size_t n) {
    std::int64_t count = 0;
    for (std::size_t i = 0; i < n; i += isFirstByte(p[i]) ? 2 : 1) ++count;
    return count;
}

// The s2j errors of one block name Shift-JIS codes and byte columns of the
// decoded text; walk it once to turn them into characters of the input and
// to put back what the marks stood for.
void translate(std::span<const s2j::ConversionError> found, std::span<const std::uint8_t> mid,
               const s2j::CarriedState& before, std::int64_t columnBefore,
               std::span<const Substitute> substitutes, std::vector<ConversionError>& errors) {
    const cp932::Table& toUnicode = cp932::toUnicode();
    std::size_t pos = 0;
    std::int64_t line = before.lineFeeds + 1;
    std::int64_t byteColumn = before.offset - before.lineStart;  // 0-based
    std::int64_t column = columnBefore;                          // 0-based
    std::size_t next = 0;
    for (const s2j::ConversionError& e : found) {
        while (pos < mid.size() && !(line == e.line && byteColumn == e.column - 1)) {
            const std::uint8_t b = mid[pos];
            if (b == '\n') {
                ++line;
                byteColumn = column = 0;
                ++pos;
            } else {
                const int width = isFirstByte(b) ? 2 : 1;
                pos += width;
                byteColumn += width;
                ++column;
            }
        }
        while (next < substitutes.size() && substitutes[next].at < pos) ++next;
        ConversionError u{ErrorKind::NoJef, 0, 0, e.line, column + 1};
        if (next < substitutes.size() && substitutes[next].at == pos) {
            const Substitute& s = substitutes[next];
            u.kind = s.length != 0 ? ErrorKind::Malformed : ErrorKind::NoJef;
            u.length = s.length;
            u.value = s.value;
        } else {
            u.kind = e.kind == s2j::ErrorKind::SingleByte ? ErrorKind::NoEbcdic : ErrorKind::NoJef;
            u.value = toUnicode[e.code];
        }
        errors.push_back(u);
    }
}

}  // namespace

std::size_t blockSizeFor(std::int64_t fileSize) {
    return std::max<std::size_t>(4, s2j::blockSizeFor(fileSize));
}

s2j::StreamOutcome convertStream(const s2j::Converter& conv, std::int64_t fileSize,
                                 std::span<std::uint8_t> inBuf, std::span<std::uint8_t> midBuf,
                                 std::span<std::uint8_t> outBuf, const StreamIo& io,
                                 CarriedState& state) {
    const cp932::Table& fromUnicode = cp932::fromUnicode();
    std::vector<Substitute> substitutes;
    std::vector<s2j::ConversionError> found;
    std::vector<ConversionError> errors;
    substitutes.reserve(static_cast<std::size_t>(s2j::kErrorsRecorded));
    found.reserve(static_cast<std::size_t>(s2j::kErrorsRecorded));
    errors.reserve(static_cast<std::size_t>(s2j::kErrorsRecorded));
    const std::size_t block = inBuf.size();
    std::size_t carried = 0;  // the start of a sequence cut by the block before
    std::int64_t bytesRead = 0;

    for (;;) {
        const std::size_t want = block - carried;
        const std::int64_t got = io.read(inBuf.data() + carried, want);
        if (got < 0) return {s2j::StreamStatus::ReadFailed, errno};
        if (got == 0 && carried == 0) break;
        bytesRead += got;
        const std::size_t filled = carried + static_cast<std::size_t>(got);
        const bool endOfInput =
            got == 0 || static_cast<std::size_t>(got) < want || bytesRead >= fileSize;

        std::span<const std::uint8_t> text(inBuf.data(), filled);
        if (!state.started) {
            state.started = true;
            if (startsWithBom(text)) text = text.subspan(3);
        }
        const std::int64_t errorsBefore = state.sjis.errorCount;
        const bool recording = errorsBefore < s2j::kErrorsRecorded;
        substitutes.clear();
        const DecodeResult d = decodeUtf8(
            fromUnicode, text, endOfInput, midBuf.data(), substitutes,
            recording ? static_cast<std::size_t>(s2j::kErrorsRecorded - errorsBefore) : 0);

        const s2j::CarriedState before = state.sjis;
        found.clear();
        const std::span<const std::uint8_t> mid(midBuf.data(), d.written);
        // The decoded text never ends inside a character.
        const s2j::BlockResult r =
            s2j::convertBlock(conv, mid, true, state.sjis, outBuf.data(), found);
        if (!found.empty()) {
            errors.clear();
            translate(found, mid, before, state.column, substitutes, errors);
            io.reportErrors(errors);
        }
        if (recording) {  // columns matter only while errors are still reported
            std::size_t from = mid.size();
            while (from != 0 && mid[from - 1] != '\n') --from;
            if (from == 0) {
                state.column += d.characters;
            } else {
                state.column = countCharacters(mid.data() + from, mid.size() - from);
            }
        }
        if (!io.write(outBuf.data(), r.written)) return {s2j::StreamStatus::WriteFailed, errno};

        const std::size_t used = static_cast<std::size_t>(text.data() - inBuf.data()) + d.consumed;
        carried = filled - used;
        if (carried != 0) std::memmove(inBuf.data(), inBuf.data() + used, carried);
        io.blockWritten(bytesRead - static_cast<std::int64_t>(carried));
        if (got == 0) break;
    }

    std::uint8_t tail[1];
    const std::size_t n = s2j::finishRun(conv, state.sjis, tail);
    if (n != 0 && !io.write(tail, n)) return {s2j::StreamStatus::WriteFailed, errno};
    return {s2j::StreamStatus::Finished, 0};
}

}  // namespace velk::u2j
