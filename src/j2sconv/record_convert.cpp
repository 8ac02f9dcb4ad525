#include "j2sconv/record_convert.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <span>
#include <vector>

#include "driver/file_io.h"
#include "driver/messages.h"
#include "driver/platform.h"
#include "driver/progress.h"
#include "j2sconv/record_choice.h"
#include "j2sconv/record_layout.h"
#include "j2sconv/record_walk.h"
#include "j2sconv/trim_fields.h"

namespace velk::j2s {

namespace {

// Input is read in large chunks and records are served from memory; output
// records are gathered and written in large blocks. Record boundaries are
// the same as with one read per record.
constexpr std::size_t chunkBytes = std::size_t{1} << 18;

class RecordLoop {
public:
    RecordLoop(Run& run, int optConv, int optSkip, int trimFlags, std::int64_t readLength)
        : run_(run), tables_(recordTables(optConv, optSkip)), trimFlags_(trimFlags),
          readLength_(readLength > 0 ? static_cast<std::size_t>(readLength) : 0) {}

    std::int32_t convert() {
        if (run_.optLog == 1) showProgress(progress_, 0, 0);
        if (readLength_ == 0) return 0;  // no pattern takes a source byte
        prepare();
        for (;;) {
            if (!readInput(2 * readLength_ + 64)) return fail(-21);
            if (pos_ == end_) break;
            if (std::int32_t rc = convertOne(); rc != 0) return fail(rc);
        }
        if (!flush()) return -25;
        if (hadUnmapped_) return -1;
        return static_cast<std::int32_t>(
            std::min<std::int64_t>(lineEnds_, std::numeric_limits<std::int32_t>::max()));
    }

    // Writes the records converted so far; false (with its message) on failure.
    bool flush() {
        if (fill_ == 0) return true;
        std::size_t n = fill_;
        fill_ = 0;
        if (writeFull(run_.sjisFile.get(), run_.outBuf.data(), n)) return true;
        say(run_.optLog, "シフトJISファイルの書き込みでエラーが発生しました(原因=%s)\n",
            std::strerror(errno));
        return false;
    }

private:
    void prepare() {
        std::size_t maxOutput = 0;
        layouts_.reserve(run_.patterns.patterns.size());
        for (const RecordPattern& p : run_.patterns.patterns) {
            layouts_.push_back(layoutFor(p));
            maxOutput = std::max<std::size_t>(maxOutput, layouts_.back().maxOutput);
        }
        recordMax_ = maxOutput + 2;  // and the line end
        run_.inBuf.resize(std::max(chunkBytes, 4 * readLength_ + 64));
        run_.outBuf.resize(std::max(chunkBytes, 4 * recordMax_));
    }

    // Makes at least `want` bytes available from pos_, or all that is left.
    bool readInput(std::size_t want) {
        std::vector<std::uint8_t>& in = run_.inBuf;
        while (!eof_ && end_ - pos_ < want) {
            if (pos_ > 0) {
                std::memmove(in.data(), in.data() + pos_, end_ - pos_);
                end_ -= pos_;
                pos_ = 0;
            }
            if (in.size() < want) in.resize(std::max(want, 2 * in.size()));
            std::size_t room = in.size() - end_;
            std::int64_t got = readFull(run_.jefFile.get(), in.data() + end_, room);
            if (got < 0) {
                say(run_.optLog, "JEFファイルの読み込みに失敗しました\n");
                return false;
            }
            end_ += static_cast<std::size_t>(got);
            if (static_cast<std::size_t>(got) < room) eof_ = true;
        }
        return true;
    }

    std::span<const std::uint8_t> available() const {
        return {run_.inBuf.data() + pos_, end_ - pos_};
    }

    // Converts the record at pos_ into the output block. Returns 0 or a hard failure.
    std::int32_t convertOne() {
        std::span<const std::uint8_t> head = available().first(std::min(readLength_, end_ - pos_));
        const RecordLayout& layout =
            layouts_[choosePattern(run_.patterns, head, tables_.skipShift)];
        if (!layout.hasData) {
            // Such a record would take no input and repeat for ever.
            say(run_.optLog, "データの桁がないレコードパターンでは変換できません\n");
            return -2;
        }
        if (fill_ + recordMax_ > run_.outBuf.size() && !flush()) return -25;
        std::uint8_t* out = run_.outBuf.data() + fill_;
        RecordResult r;
        for (;;) {
            errors_.clear();
            r = convertRecord(layout, available(), eof_, tables_, out, errors_);
            if (r.status != RecordStatus::NeedInput) break;
            if (!readInput(end_ - pos_ + 1)) return -21;
        }
        if (r.status == RecordStatus::BadZonedRun) {
            say(run_.optLog, "レコードパターンのサイン付き数字の指定に誤りがあります\n");
            return -2;
        }
        if (r.status == RecordStatus::BadPackedRun) {
            say(run_.optLog, "レコードパターンの COMP-3 数字の指定に誤りがあります\n");
            return -2;
        }
        logErrors();
        std::size_t length = r.length;
        if (trimFlags_ != 0) length = trimFields(trimFlags_, out, length, tables_.level);
        if (run_.addLineEnd) {
            out[length++] = 0x0D;
            out[length++] = 0x0A;
            ++lineEnds_;
        }
        fill_ += length;
        pos_ += r.used;
        consumed_ += static_cast<std::int64_t>(r.used);
        if (run_.optLog == 1) showProgress(progress_, consumed_, run_.jefSize);
        return 0;
    }

    void logErrors() {
        if (errors_.empty()) return;
        hadUnmapped_ = true;
        if (run_.optLog != 1) return;
        std::FILE* log = run_.log ? run_.log : stdout;
        for (const ConversionError& e : errors_) {
            long at = static_cast<long>(consumed_ + static_cast<std::int64_t>(e.offset) + 1);
            switch (e.kind) {
            case ConversionError::SingleByte:
                platform::printText(log, "EBCDIC->JIS 変換エラー(EBCDIC=0x%02x/%ldバイト目)\n",
                                    static_cast<unsigned>(e.code), at);
                break;
            case ConversionError::Kanji:
                platform::printText(log, "JEF->シフトJIS 変換エラー(JEF=0x%04x/%ldバイト目)\n",
                                    static_cast<unsigned>(e.code), at);
                break;
            case ConversionError::LoneLeadByte:
                platform::printText(log, "JEF->シフトJIS 変換エラー(JEF=0x%02x/%ldバイト目)\n",
                                    static_cast<unsigned>(e.code), at);
                break;
            }
        }
    }

    // Records converted before a hard failure still reach the output.
    std::int32_t fail(std::int32_t rc) {
        flush();
        return rc;
    }

    Run& run_;
    RecordTables tables_;
    int trimFlags_;
    std::size_t readLength_;
    std::vector<RecordLayout> layouts_;
    std::size_t recordMax_ = 0;
    std::size_t pos_ = 0, end_ = 0;  // unconverted input in run_.inBuf
    bool eof_ = false;
    std::size_t fill_ = 0;           // converted output waiting in run_.outBuf
    std::int64_t consumed_ = 0;
    std::int64_t lineEnds_ = 0;
    bool hadUnmapped_ = false;
    std::vector<ConversionError> errors_;
    ProgressState progress_;
};

}  // namespace

std::int32_t convertRecords(Run& run, int optConv, int optSkip, int trimFlags,
                            std::int64_t readLength) {
    RecordLoop loop(run, optConv, optSkip, trimFlags, readLength);
    try {
        return loop.convert();
    } catch (const std::bad_alloc&) {
        loop.flush();
        say(run.optLog, "メモリ不足です\n");
        return -30;
    }
}

}  // namespace velk::j2s
