// The s2j worker: its conversion-error lines and result, around the file
// side it shares with u2j (s2j_file_run).
#include <new>
#include <span>

#include "platform/messages.h"
#include "s2jconv/run_s2j.h"
#include "s2jconv/s2j_convert.h"
#include "s2jconv/s2j_file_run.h"
#include "s2jconv/s2j_result.h"
#include "s2jconv/s2j_stream.h"
#include "shared/texts.h"

namespace velk {

namespace {

using s2j::ConversionError;
using s2j::ErrorKind;

void sayError(int optLog, const ConversionError& e) {
    const long line = static_cast<long>(e.line);
    const long column = static_cast<long>(e.column);
    const unsigned code = e.code;
    switch (e.kind) {
        case ErrorKind::SingleByte:
            say(optLog, "JIS->EBCDIC 変換エラー(JIS=0x%02x,行=%ld,桁=%ld)\n", code, line, column);
            break;
        case ErrorKind::DoubleByte:
            say(optLog, "シフトJIS->JEF 変換エラー(SJIS=0x%04x,行=%ld,桁=%ld)\n", code, line, column);
            break;
        case ErrorKind::LoneFirst:
            say(optLog, "シフトJIS->JEF 変換エラー(SJIS=0x%02x,行=%ld,桁=%ld)\n", code, line, column);
            break;
    }
}

}  // namespace

std::int32_t runS2j(int optLog, int optConv, int optOther, const char* sjisPath,
                    const char* jefPath) {
    try {
        // The options, decoded once: optConv 9 passes JIS bytes through unchanged.
        const s2j::Converter conv = s2j::makeConverter(optConv, optOther);
        s2j::CarriedState state;
        s2j::ErrorReporter<ConversionError, sayError> reporter(optLog);
        const s2j::FileJob job{sjisPath, jefPath, optConv == 9, s2j::blockSizeFor};
        const std::int32_t rc = s2j::convertFiles(
            optLog, job,
            [&](std::int64_t size, std::span<std::uint8_t> in, std::span<std::uint8_t> out,
                const s2j::FileCalls& calls) {
                const s2j::StreamIo io{
                    calls.read, calls.write,
                    [&](std::span<const ConversionError> errors) { reporter.report(errors); },
                    calls.blockWritten};
                return s2j::convertStream(conv, size, in, out, io, state);
            });
        return rc != 0 ? rc : s2j::finishedResult(state);
    } catch (const std::bad_alloc&) {
        say(optLog, texts::kNoMemory);
        return s2j::kNoMemory;
    }
}

}  // namespace velk
