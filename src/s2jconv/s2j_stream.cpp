#include "s2jconv/s2j_stream.h"

#include <cerrno>
#include <vector>

namespace velk::s2j {

std::size_t blockSizeFor(std::int64_t fileSize) {
    if (fileSize < 0 || fileSize > kWholeFileLimit) return static_cast<std::size_t>(kBlockSize);
    return fileSize < 2 ? 2 : static_cast<std::size_t>(fileSize);
}

StreamOutcome convertStream(const Converter& conv, std::int64_t fileSize,
                            std::span<std::uint8_t> inBuf, std::span<std::uint8_t> outBuf,
                            const StreamIo& io, CarriedState& state) {
    std::vector<ConversionError> errors;
    errors.reserve(static_cast<std::size_t>(kErrorsRecorded));
    const std::size_t block = inBuf.size();
    std::size_t carried = 0;  // a first byte kept from the block before
    std::int64_t bytesRead = 0;
    OutputGather out(outBuf, 2 * block, io.write);

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

        errors.clear();
        const BlockResult r =
            convertBlock(conv, inBuf.first(filled), endOfInput, state, out.next(), errors);
        if (!errors.empty()) io.reportErrors(errors);
        if (!out.add(r.written)) return out.failed();

        carried = filled - r.consumed;
        if (carried != 0) inBuf[0] = inBuf[filled - 1];
        io.blockWritten(bytesRead - static_cast<std::int64_t>(carried));
        if (got == 0) break;
    }

    if (!out.flush()) return out.failed();
    std::uint8_t tail[1];
    const std::size_t n = finishRun(conv, state, tail);
    if (n != 0 && !io.write(tail, n)) return {StreamStatus::WriteFailed, errno};
    return {StreamStatus::Finished, 0};
}

}  // namespace velk::s2j
