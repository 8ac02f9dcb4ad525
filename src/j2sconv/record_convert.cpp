#include "j2sconv/record_convert.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "j2sconv/record_choice.h"

namespace velk::j2s {

namespace {

// Input is read in large chunks and records are served from memory; output
// records are gathered and written in large blocks. Record boundaries are
// the same as with one read per record.
class RecordLoop {
public:
    RecordLoop(const RecordPlan& plan, const CodeTables& tables, const RecordJob& job,
               std::vector<std::uint8_t>& in, std::span<std::uint8_t> out, const Io& io)
        : plan_(plan), tables_(tables), job_(job), in_(in), out_(out), io_(io),
          readLength_(plan.readLength) {}

    Outcome convert() {
        if (readLength_ == 0) return outcome_;  // no pattern takes a source byte
        for (;;) {
            if (!readInput(2 * readLength_ + 64)) return fail(Failure::ReadFailed, 0);
            if (pos_ == end_) break;
            if (!convertOne()) return finish();
        }
        flush();
        return outcome_;
    }

    // Writes the records converted so far; false (reported) on failure.
    bool flush() {
        if (fill_ == 0) return true;
        std::size_t n = fill_;
        fill_ = 0;
        if (io_.write(out_.data(), n)) return true;
        note(Failure::WriteFailed, errno);
        return false;
    }

    // Records converted before a hard failure still reach the output.
    Outcome fail(Failure f, int error) {
        note(f, error);
        return finish();
    }

    // Out of memory: reported after what was converted is written.
    Outcome outOfMemory() {
        flush();
        io_.failed(Failure::NoMemory, 0);
        outcome_.failed = true;
        outcome_.failure = Failure::NoMemory;
        return outcome_;
    }

    Outcome finish() {
        flush();
        return outcome_;
    }

private:
    void note(Failure f, int error) {
        io_.failed(f, error);
        if (!outcome_.failed) {
            outcome_.failed = true;
            outcome_.failure = f;
        }
    }

    // Makes at least `want` bytes available from pos_, or all that is left.
    bool readInput(std::size_t want) {
        while (!eof_ && end_ - pos_ < want) {
            if (pos_ > 0) {
                std::memmove(in_.data(), in_.data() + pos_, end_ - pos_);
                end_ -= pos_;
                pos_ = 0;
            }
            if (in_.size() < want) in_.resize(std::max(want, 2 * in_.size()));
            std::size_t room = in_.size() - end_;
            std::int64_t got = io_.read(in_.data() + end_, room);
            if (got < 0) return false;
            end_ += static_cast<std::size_t>(got);
            if (static_cast<std::size_t>(got) < room) eof_ = true;
        }
        return true;
    }

    std::span<const std::uint8_t> available() const { return {in_.data() + pos_, end_ - pos_}; }

    // Converts the record at pos_ into the output block; false after a
    // hard failure (noted).
    bool convertOne() {
        std::span<const std::uint8_t> head = available().first(std::min(readLength_, end_ - pos_));
        const RecordLayout& layout =
            plan_.layouts[choosePattern(*plan_.patterns, head, tables_.skipShift)];
        if (!layout.hasData) {
            // Such a record would take no input and repeat for ever.
            note(Failure::DataLessPattern, 0);
            return false;
        }
        if (fill_ + plan_.recordMax > out_.size() && !flush()) return false;
        std::uint8_t* out = out_.data() + fill_;
        RecordResult r;
        for (;;) {
            errors_.clear();
            r = convertRecord(layout, available(), eof_, tables_, out, errors_, job_.trimFlags);
            if (r.status != RecordStatus::NeedInput) break;
            if (!readInput(end_ - pos_ + 1)) {
                note(Failure::ReadFailed, 0);
                return false;
            }
        }
        if (r.status == RecordStatus::BadZonedRun) {
            note(Failure::BadZonedRun, 0);
            return false;
        }
        if (r.status == RecordStatus::BadPackedRun) {
            note(Failure::BadPackedRun, 0);
            return false;
        }
        if (r.status == RecordStatus::BadBinaryRun) {
            note(Failure::BadBinaryRun, 0);
            return false;
        }
        if (!errors_.empty()) {
            outcome_.unmapped = true;
            io_.reportErrors(errors_, consumed_);
        }
        std::size_t length = r.length;
        if (job_.addLineEnd) {
            out[length++] = 0x0D;
            out[length++] = 0x0A;
            ++outcome_.lineEnds;
        }
        fill_ += length;
        pos_ += r.used;
        consumed_ += static_cast<std::int64_t>(r.used);
        io_.progress(consumed_);
        return true;
    }

    const RecordPlan& plan_;
    const CodeTables& tables_;
    const RecordJob& job_;
    std::vector<std::uint8_t>& in_;
    std::span<std::uint8_t> out_;
    const Io& io_;
    std::size_t readLength_;
    std::size_t pos_ = 0, end_ = 0;  // unconverted input in in_
    bool eof_ = false;
    std::size_t fill_ = 0;           // converted output waiting in out_
    std::int64_t consumed_ = 0;
    Outcome outcome_;
    std::vector<ConversionError> errors_;
};

}  // namespace

RecordPlan planRecords(const PatternSet& set) {
    RecordPlan plan;
    plan.patterns = &set;
    std::size_t maxOutput = 0;
    std::int64_t maxSource = 0;
    plan.layouts.reserve(set.patterns.size());
    for (const RecordPattern& p : set.patterns) {
        plan.layouts.push_back(layoutFor(p));
        maxOutput = std::max<std::size_t>(maxOutput, plan.layouts.back().maxOutput);
        maxSource = std::max<std::int64_t>(maxSource, p.sourceLength);
    }
    plan.readLength = static_cast<std::size_t>(maxSource);
    // The line end, and the room the trimming walk needs.
    plan.recordMax = maxOutput + std::max<std::size_t>(2, kTrimRoom);
    return plan;
}

BufferSizes recordBufferSizes(std::size_t readLength, std::size_t recordMax) {
    return {std::max(kIoBytes, 4 * readLength + 64), std::max(kIoBytes, 4 * recordMax)};
}

Outcome convertRecords(const RecordPlan& plan, const CodeTables& tables, const RecordJob& job,
                       std::vector<std::uint8_t>& in, std::span<std::uint8_t> out, const Io& io) {
    RecordLoop loop(plan, tables, job, in, out, io);
    try {
        return loop.convert();
    } catch (const std::bad_alloc&) {
        return loop.outOfMemory();
    }
}

}  // namespace velk::j2s
