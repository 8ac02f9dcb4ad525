// The u2j worker: s2j's worker with a UTF-8 input. It shares s2j's file side
// (s2j_file_run: files, set-up, failures, result codes, progress line); its
// conversion messages name code points or malformed bytes and count columns
// in characters.
#include <cstdio>
#include <new>
#include <span>

#include "platform/messages.h"
#include "s2jconv/s2j_convert.h"
#include "s2jconv/s2j_file_run.h"
#include "s2jconv/s2j_result.h"
#include "shared/texts.h"
#include "u2jconv/run_u2j.h"
#include "u2jconv/u2j_stream.h"

namespace velk {

namespace {

using u2j::ConversionError;
using u2j::ErrorKind;

void sayError(int optLog, const ConversionError& e) {
    const long line = static_cast<long>(e.line);
    const long column = static_cast<long>(e.column);
    const unsigned value = e.value;
    switch (e.kind) {
        case ErrorKind::Malformed: {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%0*x", 2 * e.length, value);
            say(optLog, "UTF-8 変換エラー(不正なバイト列=0x%s,行=%ld,桁=%ld)\n", hex, line, column);
            break;
        }
        case ErrorKind::NoEbcdic:
            say(optLog, "UTF-8->EBCDIC 変換エラー(U+%04X,行=%ld,桁=%ld)\n", value, line, column);
            break;
        case ErrorKind::NoJef:
            say(optLog, "UTF-8->JEF 変換エラー(U+%04X,行=%ld,桁=%ld)\n", value, line, column);
            break;
    }
}

}  // namespace

std::int32_t runU2j(int optLog, int optConv, int optOther, const char* utf8Path,
                    const char* jefPath) {
    try {
        u2j::CarriedState state;
        s2j::ErrorReporter<ConversionError, sayError> reporter(optLog);
        const s2j::FileJob job{utf8Path, jefPath, optConv == 9, u2j::blockSizeFor};
        const std::int32_t rc = s2j::convertFiles(
            optLog, job,
            [&](std::int64_t size, std::span<std::uint8_t> in, std::span<std::uint8_t> out,
                const s2j::FileCalls& calls) {
                // Built only for a run that got this far: they take a while.
                const u2j::Tables tables = u2j::makeTables(s2j::makeConverter(optConv, optOther));
                const u2j::StreamIo io{
                    calls.read, calls.write,
                    [&](std::span<const ConversionError> errors) { reporter.report(errors); },
                    calls.blockWritten};
                return u2j::convertStream(tables, size, in, out, io, state);
            });
        return rc != 0 ? rc : s2j::finishedResult(state.chars);
    } catch (const std::bad_alloc&) {
        say(optLog, texts::kNoMemory);
        return s2j::kNoMemory;
    }
}

}  // namespace velk
