#include "mkpatn/pattern_writer.h"

#include "shared/pattern_format.h"

namespace velk::mkp {

namespace {

// A pattern line describes one record: real ones run to tens of kilobytes.
// The cap keeps a few bytes of copy-book with large OCCURS counts from
// building gigabytes in memory and on disk, in a line that j2s would then
// refuse to read.
constexpr std::int64_t kMaxLine = std::int64_t{1} << 24;

bool isCharacterType(char type) { return type == 'X' || type == 'A' || type == 'N'; }
bool isNumberRun(char c) { return c == 'S' || c == 'C'; }

class LineBuilder {
public:
    LineBuilder(const std::vector<CopyItem>& items, int optCsv, int optQuote, int pass)
        : items_(items), optCsv_(optCsv), optQuote_(optQuote),
          leaveOut_(pass == 0 ? 'D' : 'S') {}

    bool tooLong() const { return tooLong_; }
    bool leftOut() const { return leftOut_; }

    // Appends the items from cursor on, down to the first item whose level is
    // below the starting item's, and leaves cursor there. line may not grow
    // beyond budget characters.
    void walk(std::size_t& cursor, std::string& line, std::int64_t budget) {
        if (cursor >= items_.size()) return;
        const std::int32_t base = items_[cursor].level;
        while (cursor < items_.size() && !tooLong_) {
            const CopyItem& item = items_[cursor];
            if (item.level < base) return;
            if (item.redefineMark == leaveOut_) {
                leftOut_ = true;
                ++cursor;
                while (cursor < items_.size() && items_[cursor].level > item.level) ++cursor;
                continue;
            }
            ++cursor;
            // Every repetition writes the same characters: build one and copy it.
            if (!item.isGroup()) {
                const std::int32_t times = item.occurs > 0 ? item.occurs : 1;
                const std::int64_t room = budget - static_cast<std::int64_t>(line.size());
                const std::int64_t size = itemSize(item);
                if (size > room || size * times > room) {
                    tooLong_ = true;
                    return;
                }
                std::string once;
                emitItem(item, once);
                repeat(once, times, line, budget);
            } else if (item.occurs > 0) {
                std::string once;
                if (cursor < items_.size()) {
                    walk(cursor, once, budget - static_cast<std::int64_t>(line.size()));
                }
                repeat(once, item.occurs, line, budget);
            }
        }
    }

private:
    bool quoted(const CopyItem& item) const {
        return optQuote_ == 1 && isCharacterType(item.type);
    }
    static std::int64_t width(const CopyItem& item) { return item.type == 'N' ? 2 : 1; }
    // A point with no digits after it would end a sign or packed run in a
    // dangling '.', which the conversion refuses.
    static bool hasPoint(const CopyItem& item) {
        return item.pointMark == 'V' && (item.fractionCount > 0 || !isNumberRun(item.type));
    }

    // Characters of one occurrence of an elementary item.
    std::int64_t itemSize(const CopyItem& item) const {
        return (quoted(item) ? 2 : 0) + width(item) * item.count +
               (hasPoint(item) ? 1 + width(item) * item.fractionCount : 0) +
               (optCsv_ == 1 || optCsv_ == 2 ? 1 : 0);
    }

    // One occurrence of an elementary item with its quotes and separator.
    void emitItem(const CopyItem& item, std::string& out) const {
        out.reserve(static_cast<std::size_t>(itemSize(item)));
        if (quoted(item)) out += '"';
        out.append(static_cast<std::size_t>(width(item) * item.count), item.type);
        if (hasPoint(item)) {
            out += '.';
            out.append(static_cast<std::size_t>(width(item) * item.fractionCount), item.type);
        }
        if (quoted(item)) out += '"';
        if (optCsv_ == 1) out += ',';
        if (optCsv_ == 2) out += ' ';
    }

    // Appends piece `times` times. Without separators two signed zoned or
    // two packed fields in a row would read as one number, so a blank keeps
    // them apart.
    void repeat(const std::string& piece, std::int32_t times, std::string& line,
                std::int64_t budget) {
        if (tooLong_ || piece.empty()) return;
        const bool selfJoin = needsGap(piece.back(), piece.front());
        const bool firstJoin = !line.empty() && needsGap(line.back(), piece.front());
        const std::int64_t pieceSize = static_cast<std::int64_t>(piece.size());
        const std::int64_t total = static_cast<std::int64_t>(line.size()) + (firstJoin ? 1 : 0) +
                                   pieceSize * times + (selfJoin ? times - 1 : 0);
        if (total > budget) {
            tooLong_ = true;
            return;
        }
        line.reserve(static_cast<std::size_t>(total));
        for (std::int32_t i = 0; i < times; ++i) {
            if (i == 0 ? firstJoin : selfJoin) line += ' ';
            line += piece;
        }
    }

    bool needsGap(char last, char first) const {
        return optCsv_ == 0 && isNumberRun(last) && last == first;
    }

    const std::vector<CopyItem>& items_;
    const int optCsv_;
    const int optQuote_;
    const char leaveOut_;
    bool leftOut_ = false;
    bool tooLong_ = false;
};

// With separators the last one becomes the line break.
void finishLine(std::string& line, int optCsv) {
    if ((optCsv == 1 || optCsv == 2) && !line.empty()) {
        line.back() = '\n';
    } else {
        line += '\n';
    }
}

}  // namespace

void markRedefines(std::vector<CopyItem>& items) {
    for (CopyItem& item : items) {
        if (!item.redefinesName) continue;
        for (CopyItem& target : items) {
            if (target.name && *target.name == *item.redefinesName) {
                target.redefineMark = 'S';
                break;
            }
        }
        item.redefineMark = 'D';
    }
}

PatternLines buildPatternLines(const std::vector<CopyItem>& items, int optCsv, int optQuote) {
    PatternLines result;
    for (int pass = 0; pass < 2; ++pass) {
        LineBuilder builder(items, optCsv, optQuote, pass);
        std::string line;
        std::size_t cursor = 0;
        builder.walk(cursor, line, kMaxLine - 1);  // room for the line break
        if (builder.tooLong()) {
            result.code = kOutOfMemory;
            result.lines.clear();
            return result;
        }
        finishLine(line, optCsv);
        result.lines.push_back(std::move(line));
        if (!builder.leftOut()) break;  // nothing to show in a second layout
    }
    return result;
}

std::int64_t recordLength(std::string_view line) {
    return pattern::sourceLength(line.substr(0, line.find('\n')),
                                 pattern::QuoteInPackedRun::Ends);
}

}  // namespace velk::mkp
