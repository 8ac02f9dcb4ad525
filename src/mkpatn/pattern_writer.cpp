#include "mkpatn/pattern_writer.h"

#include <algorithm>
#include <memory>

#include "shared/pattern_format.h"

namespace velk::mkp {

namespace {

// A pattern line describes one record: real ones run to tens of kilobytes.
// The cap keeps a few bytes of copy-book with large OCCURS counts from
// building gigabytes in memory and on disk, in a line that j2s would then
// refuse to read.
constexpr std::int64_t kMaxLine = std::int64_t{1} << 24;
// Storage sizes stop growing here; such records fail the line cap anyway.
constexpr std::int64_t kHugeSize = std::int64_t{1} << 40;

bool isCharacterType(char type) { return type == 'X' || type == 'A' || type == 'N'; }
bool isNumberRun(char c) { return c == 'S' || c == 'C' || c == 'B' || c == 'U'; }

std::int64_t binaryBytes(std::int64_t digits) {
    if (digits <= 4) return 2;
    if (digits <= 9) return 4;
    return 8;
}

std::int64_t times(std::int64_t size, std::int32_t occurs) {
    const std::int64_t n = occurs > 0 ? occurs : 1;
    return size > kHugeSize / n ? kHugeSize : size * n;
}

// Bytes of one occurrence of an elementary item.
std::int64_t storageOf(const CopyItem& item) {
    const std::int64_t digits = std::int64_t{item.count} + item.fractionCount;
    switch (item.type) {
        case 'N': return 2 * digits;
        case 'C': return digits / 2 + 1;
        case 'B': case 'U': return binaryBytes(digits);
        default: return digits;
    }
}

// An entry in the record's tree. Items that redefine the same storage form a
// set: the redefined item is alternative 0, each item that redefines it the
// next one.
struct Node {
    const CopyItem* item = nullptr;  // none for the record itself
    std::vector<Node> children;
    int set = -1;
    int alternative = 0;
    std::int64_t size = 0;  // bytes, OCCURS included
};

struct Record {
    Node root;
    std::vector<std::vector<Node*>> sets;  // members in copy-book order
    std::vector<std::int64_t> setSize;     // bytes the storage takes: its largest member
};

// Levels 66 (renames), 77 (stand-alone item) and 88 (condition) take no
// storage in a record.
bool inRecord(const CopyItem& item) {
    return item.level != 66 && item.level != 77 && item.level != 88;
}

// Each level-01 entry starts a record of its own; entries before the first
// one form a record too.
std::vector<std::unique_ptr<Record>> buildRecords(const std::vector<CopyItem>& items) {
    std::vector<std::unique_ptr<Record>> records;
    std::vector<Node*> open;  // the chain of groups the next entry may belong to
    for (const CopyItem& item : items) {
        if (!inRecord(item)) continue;
        if (records.empty() || item.level == 1) {
            records.push_back(std::make_unique<Record>());
            open.assign(1, &records.back()->root);
        }
        while (open.size() > 1 && open.back()->item->level >= item.level) open.pop_back();
        Node* parent = open.back();
        parent->children.push_back(Node{&item, {}, -1, 0, 0});
        // The children vector may move its nodes; only the last one is open.
        open.push_back(&parent->children.back());
    }
    return records;
}

// REDEFINES names an earlier entry at the same level under the same group.
// One that names nothing there is an ordinary entry of its own.
void findSets(Record& record, Node& group) {
    for (std::size_t i = 0; i < group.children.size(); ++i) {
        Node& node = group.children[i];
        findSets(record, node);
        if (!node.item->redefinesName) continue;
        for (std::size_t j = i; j-- > 0;) {
            Node& target = group.children[j];
            if (!target.item->name || *target.item->name != *node.item->redefinesName) continue;
            if (target.set < 0) {
                target.set = static_cast<int>(record.sets.size());
                record.sets.push_back({&target});
            }
            // A chain of REDEFINES still overlays the first item.
            std::vector<Node*>& members = record.sets[static_cast<std::size_t>(target.set)];
            node.set = target.set;
            node.alternative = static_cast<int>(members.size());
            members.push_back(&node);
            break;
        }
    }
}

// Sizes in bytes, as the storage is laid out: the members of a set are
// siblings, and the set takes the room of its largest member.
void measure(Record& record, Node& node) {
    if (node.item && !node.item->isGroup()) {
        node.size = times(storageOf(*node.item), node.item->occurs);
        return;
    }
    for (Node& child : node.children) measure(record, child);
    std::int64_t sum = 0;
    for (const Node& child : node.children) {
        if (child.alternative > 0) continue;  // overlays earlier storage
        std::int64_t size = child.size;
        if (child.set >= 0) {
            for (const Node* member : record.sets[static_cast<std::size_t>(child.set)]) {
                size = std::max(size, member->size);
            }
            record.setSize[static_cast<std::size_t>(child.set)] = size;
        }
        sum = std::min(sum + size, kHugeSize);
    }
    node.size = node.item ? times(sum, node.item->occurs) : sum;
}

class LineBuilder {
public:
    LineBuilder(const Record& record, int optCsv, int optQuote, int line)
        : record_(record), optCsv_(optCsv), optQuote_(optQuote), line_(line) {}

    bool tooLong() const { return tooLong_; }

    // Appends the node's characters to out, which may not grow beyond
    // budget characters.
    void emit(const Node& node, std::string& out, std::int64_t budget) {
        if (tooLong_ || !included(node)) return;
        std::string once;
        const std::int64_t room = budget - static_cast<std::int64_t>(out.size());
        if (node.item && !node.item->isGroup()) {
            if (itemSize(*node.item) > room) {
                tooLong_ = true;
                return;
            }
            emitItem(*node.item, once);
        } else {
            for (const Node& child : node.children) emit(child, once, room);
        }
        // Every repetition writes the same characters: build one and copy it.
        repeat(once, node.item ? node.item->occurs : 1, out, budget);
        if (node.set >= 0) {
            // A shorter alternative is filled up to the storage it shares, so
            // that every layout keeps the record's length.
            const std::int64_t gap = record_.setSize[static_cast<std::size_t>(node.set)] - node.size;
            if (gap > 0) {
                if (gap > room) {
                    tooLong_ = true;
                    return;
                }
                CopyItem filler;
                filler.type = 'X';
                filler.count = static_cast<std::int32_t>(gap);
                std::string fill;
                emitItem(filler, fill);
                repeat(fill, 1, out, budget);
            }
        }
    }

private:
    // Line n shows alternative n of every set; a set with fewer shows its last.
    bool included(const Node& node) const {
        if (node.set < 0) return true;
        const int last = static_cast<int>(record_.sets[static_cast<std::size_t>(node.set)].size()) - 1;
        return node.alternative == std::min(line_, last);
    }

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

    // Appends piece `times` times. Without separators two signed zoned, two
    // packed or two binary fields in a row would read as one number, so a
    // blank keeps them apart.
    void repeat(const std::string& piece, std::int32_t times, std::string& line,
                std::int64_t budget) {
        if (tooLong_ || piece.empty()) return;
        if (times < 1) times = 1;
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

    const Record& record_;
    const int optCsv_;
    const int optQuote_;
    const int line_;
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

PatternLines buildPatternLines(const std::vector<CopyItem>& items, int optCsv, int optQuote) {
    PatternLines result;
    for (const auto& record : buildRecords(items)) {
        findSets(*record, record->root);
        record->setSize.assign(record->sets.size(), 0);
        measure(*record, record->root);
        if (record->root.size == 0) continue;  // groups and conditions only
        std::size_t layouts = 1;
        for (const auto& members : record->sets) layouts = std::max(layouts, members.size());
        for (std::size_t n = 0; n < layouts; ++n) {
            LineBuilder builder(*record, optCsv, optQuote, static_cast<int>(n));
            std::string line;
            builder.emit(record->root, line, kMaxLine - 1);  // room for the line break
            if (builder.tooLong()) {
                result.code = kOutOfMemory;
                result.lines.clear();
                return result;
            }
            finishLine(line, optCsv);
            result.lines.push_back(std::move(line));
        }
    }
    if (result.lines.empty()) result.lines.emplace_back("\n");
    return result;
}

std::int64_t recordLength(std::string_view line) {
    return pattern::sourceLength(line.substr(0, line.find('\n')),
                                 pattern::QuoteInPackedRun::Ends);
}

std::int64_t longestRecord(const std::vector<std::string>& lines) {
    std::int64_t longest = 0;
    for (const std::string& line : lines) longest = std::max(longest, recordLength(line));
    return longest;
}

}  // namespace velk::mkp
