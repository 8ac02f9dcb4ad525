#include "u2jconv/u2j_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace velk::u2j {

std::size_t blockSizeFor(std::int64_t fileSize) {
    return std::max<std::size_t>(4, s2j::blockSizeFor(fileSize));
}

s2j::StreamOutcome convertStream(const Tables& t, std::int64_t fileSize,
                                 std::span<std::uint8_t> inBuf, std::span<std::uint8_t> outBuf,
                                 const StreamIo& io, CarriedState& state) {
    std::vector<ConversionError> errors;
    errors.reserve(static_cast<std::size_t>(s2j::kErrorsRecorded));
    const std::size_t block = inBuf.size();
    std::size_t carried = 0;  // the start of a sequence cut by the block before
    std::int64_t bytesRead = 0;
    s2j::OutputGather out(outBuf, 2 * block, io.write);

    for (;;) {
        const std::size_t want = block - carried;
        const std::int64_t got = io.read(inBuf.data() + carried, want);
        if (got < 0) return out.readFailed(errno);
        if (got == 0 && carried == 0) break;
        bytesRead += got;
        const std::size_t filled = carried + static_cast<std::size_t>(got);
        const bool endOfInput =
            got == 0 || static_cast<std::size_t>(got) < want ||
            (fileSize >= 0 && bytesRead >= fileSize);

        std::span<const std::uint8_t> text(inBuf.data(), filled);
        if (!state.started) {
            state.started = true;
            if (startsWithBom(text)) text = text.subspan(3);
        }
        errors.clear();
        const s2j::BlockResult r =
            convertBlock(t, text, endOfInput, state.chars, out.next(), errors);
        if (!errors.empty()) io.reportErrors(errors);
        if (!out.add(r.written)) return out.failed();

        const std::size_t used = static_cast<std::size_t>(text.data() - inBuf.data()) + r.consumed;
        carried = filled - used;
        if (carried != 0) std::memmove(inBuf.data(), inBuf.data() + used, carried);
        io.blockWritten(bytesRead - static_cast<std::int64_t>(carried));
        if (got == 0) break;
    }

    if (!out.flush()) return out.failed();
    std::uint8_t tail[1];
    const std::size_t n = s2j::finishRun(t.conv, state.chars, tail);
    if (n != 0 && !io.write(tail, n)) return {s2j::StreamStatus::WriteFailed, errno};
    return {s2j::StreamStatus::Finished, 0};
}

}  // namespace velk::u2j
