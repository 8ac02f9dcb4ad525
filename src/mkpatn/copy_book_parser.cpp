#include "mkpatn/copy_book_parser.h"

#include <algorithm>
#include <array>
#include <limits>

namespace velk::mkp {

namespace {

constexpr char kNoLevel[] = "[解析エラー]レベル番号が検出できません\n->%s\n";
constexpr char kDigitsOnly[] = "[解析エラー]数字だけで構成された行があります\n->%s\n";
constexpr char kNoRedefinesName[] =
    "[解析エラー]REDEFINES句の後ろにデータ名が記述されていません\n->%s\n";
constexpr char kNoOccursCount[] = "[解析エラー]OCCURS句の後ろに反復回数が記述されていません\n->%s\n";
constexpr char kPackedTooLong[] = "[解析エラー]COMP-3項目の長さが18を超えています\n->%s\n";
constexpr char kBinaryTooLong[] = "[解析エラー]COMP項目の長さが18を超えています\n->%s\n";
constexpr char kBadCombination[] = "[解析エラー]編集形式の組み合わせが認識できません\n->%s\n";
constexpr char kUnknownKeyword[] = "[解析エラー]認識できないキーワードが含まれます\n->%s\n";
constexpr char kSignTwice[] = "[解析エラー]S(サイン)の後にS(サイン)が指定されています\n->%s\n";
constexpr char kSignWithoutNine[] = "[解析エラー]S(サイン付き)の後に9がありません\n->%s\n";
constexpr char kBadPictureStart[] =
    "[解析エラー]編集形式(属性)に[9],[X],[A],[N]以外が定義されています\n->%s\n";
constexpr char kParenNotDigit[] = "[解析エラー]'('の後ろが数字ではありません\n->%s\n";
constexpr char kNoCloseParen[] = "[解析エラー]項目長の後ろが')'ではありません\n->%s\n";
constexpr char kBadPictureChar[] = "[解析エラー]編集形式に認識出来ない文字が現れました\n->%s\n";
// An entry cut off by the end of the file would silently drop a field from
// the record layout, and a file without entries describes no record.
constexpr char kUnterminated[] = "[解析エラー]ピリオドで終わっていない記述があります\n->%s\n";
constexpr char kNoEntry[] = "[解析エラー]データ項目の記述がありません\n";

constexpr std::array<std::string_view, 6> kIgnoredWords = {"USAGE", "IS",       "TIMES",
                                                            "SIGN",  "TRAILING", "DISPLAY"};
constexpr std::array<std::string_view, 3> kPackedWords = {"COMP-3", "COMPUTATIONAL-3",
                                                           "PACKED-DECIMAL"};
// COMP-4 and COMP-5 have the same storage as COMP on the mainframe.
constexpr std::array<std::string_view, 7> kBinaryWords = {
    "COMP",   "COMP-4", "COMP-5", "COMPUTATIONAL", "COMPUTATIONAL-4", "COMPUTATIONAL-5", "BINARY"};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isPictureLetter(char c) { return c == '9' || c == 'X' || c == 'A' || c == 'N'; }

// The format with its one %s replaced by text; text may hold any byte.
std::string withText(const char* format, std::string_view text) {
    std::string_view f(format);
    const auto at = f.find("%s");
    if (at == std::string_view::npos) return std::string(f);
    std::string out(f.substr(0, at));
    out.append(text);
    out.append(f.substr(at + 2));
    return out;
}

void grow(std::int32_t& value) {
    if (value < std::numeric_limits<std::int32_t>::max()) ++value;
}

// A run of decimal digits; absurd values stop at the largest int32.
std::int32_t readNumber(std::string_view text, std::size_t& pos) {
    std::int64_t value = 0;
    for (; pos < text.size() && isDigit(text[pos]); ++pos) {
        value = std::min<std::int64_t>(value * 10 + (text[pos] - '0'),
                                       std::numeric_limits<std::int32_t>::max());
    }
    return static_cast<std::int32_t>(value);
}

void skipBlanks(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
}

// A word runs to the next blank, period or the end of the text.
std::string_view wordAt(std::string_view text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && !isBlank(text[end]) && text[end] != '.') ++end;
    return text.substr(pos, end - pos);
}

// A period ends an entry only as a separator: followed by a blank or the
// end of the line. Inside a picture (9(8).9(2)) or a number (1.5) it is not.
bool endsEntry(std::string_view text, std::size_t pos) {
    return text[pos] == '.' && (pos + 1 == text.size() || isBlank(text[pos + 1]));
}

// COBOL words are case-insensitive; the parser reads them upper-cased.
std::string upperCased(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// The USAGE, wherever it stood in the entry or on a group above it, decides
// the storage of the picture. Returns the fault's message, or nothing.
const char* applyUsage(CopyItem& item) {
    if (item.usage == 'C') {
        if (item.edited) return kBadCombination;
        if (item.count > 18) return kPackedTooLong;
        item.type = 'C';
    } else if (item.usage == 'B') {
        if (item.edited || (item.type != '9' && item.type != 'S')) return kBadCombination;
        if (std::int64_t{item.count} + item.fractionCount > 18) return kBinaryTooLong;
        item.type = item.type == 'S' ? 'B' : 'U';
    }
    return nullptr;
}

class EntryParser {
public:
    // text is the entry upper-cased; shown is the same text as written, for
    // the messages.
    EntryParser(std::string_view text, std::string_view shown, CopyItem& item, ParseState& state,
                std::vector<std::string>& messages)
        : text_(text), shown_(shown), item_(item), state_(state), messages_(messages) {}

    std::int32_t run() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (state_ == ParseState::inQuotes || state_ == ParseState::inApostrophes) {
                if (c == (state_ == ParseState::inQuotes ? '"' : '\'')) state_ = ParseState::skipValue;
                ++pos_;
                continue;
            }
            if (state_ != ParseState::expectLevel && endsEntry(text_, pos_)) {
                state_ = ParseState::expectLevel;
                return 0;
            }
            if (isBlank(c)) {
                ++pos_;
                continue;
            }
            std::int32_t step = 0;
            switch (state_) {
                case ParseState::expectLevel: step = level(c); break;
                case ParseState::expectName: step = name(); break;
                case ParseState::expectClause: step = clause(c); break;
                case ParseState::pictureStart: step = pictureStart(c); break;
                case ParseState::inPicture: step = inPicture(c); break;
                case ParseState::skipValue: skipValue(c); break;
                case ParseState::inQuotes:
                case ParseState::inApostrophes: break;
            }
            if (step != 0) return step;
        }
        // The line end separates words like a blank. A literal left open
        // goes on in a continuation line, which reopens it.
        if (state_ == ParseState::inPicture) state_ = ParseState::expectClause;
        if (state_ == ParseState::inQuotes || state_ == ParseState::inApostrophes) {
            state_ = ParseState::skipValue;
        }
        return 0;
    }

private:
    std::int32_t fault(const char* format) {
        messages_.push_back(withText(format, shown_));
        return kSyntaxError;
    }

    std::string_view word() const { return wordAt(text_, pos_); }
    bool at(std::string_view word) const { return text_.substr(pos_).starts_with(word); }

    template <std::size_t n>
    bool wordIn(const std::array<std::string_view, n>& words) const {
        return std::find(words.begin(), words.end(), word()) != words.end();
    }

    std::int32_t level(char c) {
        if (!isDigit(c)) return fault(kNoLevel);
        item_.level = readNumber(text_, pos_);
        state_ = ParseState::expectName;
        return 0;
    }

    std::int32_t name() {
        const std::string_view word = wordAt(text_, pos_);
        item_.name = std::string(word);
        pos_ += word.size();
        // A 66 entry renames storage that is already described: its clauses
        // add nothing to the layout.
        state_ = item_.level == 66 ? ParseState::skipValue : ParseState::expectClause;
        return 0;
    }

    std::int32_t clause(char c) {
        if (wordIn(kIgnoredWords)) {
            pos_ += word().size();
            return 0;
        }
        if (word() == "VALUE" || word() == "VALUES") {
            pos_ += word().size();
            state_ = ParseState::skipValue;
            return 0;
        }
        if (word() == "PIC" || word() == "PICTURE") {
            pos_ += word().size();
            state_ = ParseState::pictureStart;
            return 0;
        }
        if (at("REDEFINES")) return redefines();
        if (at("OCCURS")) return occurs();
        if (wordIn(kPackedWords) || wordIn(kBinaryWords)) {
            item_.usage = wordIn(kPackedWords) ? 'C' : 'B';
            pos_ += word().size();
            return 0;
        }
        if (c == 'V') {
            if (item_.pointMark == 'V') return fault(kBadCombination);
            item_.pointMark = 'V';
            ++pos_;
            state_ = ParseState::pictureStart;
            return 0;
        }
        return fault(kUnknownKeyword);
    }

    void skipValue(char c) {
        if (c == '"') state_ = ParseState::inQuotes;
        if (c == '\'') state_ = ParseState::inApostrophes;
        ++pos_;
    }

    std::int32_t redefines() {
        pos_ += 9;
        skipBlanks(text_, pos_);
        const std::string_view operand = wordAt(text_, pos_);
        // "REDEFINES ." names nothing either.
        if (operand.empty()) return fault(kNoRedefinesName);
        item_.redefinesName = std::string(operand);
        pos_ += operand.size();
        return 0;
    }

    std::int32_t occurs() {
        pos_ += 6;
        skipBlanks(text_, pos_);
        if (pos_ >= text_.size() || !isDigit(text_[pos_])) return fault(kNoOccursCount);
        item_.occurs = readNumber(text_, pos_);
        return 0;
    }

    std::int32_t pictureStart(char c) {
        if (item_.pointMark != 'V' && item_.type == '0') {
            const std::int32_t edited = editedPicture();
            if (edited != 0 || item_.edited) return edited;
        }
        if (isPictureLetter(c)) {
            if (item_.pointMark == 'V') {
                item_.fractionCount = 1;
            } else {
                item_.type = c;
                item_.count = 1;
            }
            ++pos_;
            state_ = ParseState::inPicture;
            endPictureAtBlank();
            return 0;
        }
        if (c == 'S') {
            if (item_.type == 'S') return fault(kSignTwice);
            if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '9') return fault(kSignWithoutNine);
            item_.type = 'S';  // the 9 that follows counts the first digit
            ++pos_;
            state_ = ParseState::inPicture;
            return 0;
        }
        return fault(kBadPictureStart);
    }

    // A picture with editing symbols (Z, *, +, -, comma, point, /, B, 0, $,
    // CR, DB) holds display characters: it becomes an X item of the
    // picture's length. Leaves the item alone when the picture has none.
    std::int32_t editedPicture() {
        std::size_t end = pos_;
        bool edited = false;
        for (int depth = 0; end < text_.size(); ++end) {
            const char c = text_[end];
            if (depth == 0 && (isBlank(c) || endsEntry(text_, end))) break;
            if (c == '(') ++depth;
            if (c == ')') depth = 0;
            if (depth == 0 && std::string_view("Z*+-,./B0$").find(c) != std::string_view::npos) {
                edited = true;
            }
            if (depth == 0 && (text_.substr(end).starts_with("CR") || text_.substr(end).starts_with("DB"))) {
                edited = true;
            }
        }
        if (!edited) return 0;
        const std::string_view picture = text_.substr(pos_, end - pos_);
        std::int64_t length = 0;
        std::int64_t unit = 0;  // bytes of the symbol a repeat count applies to
        for (std::size_t i = 0; i < picture.size(); ++i) {
            const char c = picture[i];
            if (c == '(') {
                std::size_t at = i + 1;
                skipBlanks(picture, at);
                if (at >= picture.size() || !isDigit(picture[at])) return fault(kParenNotDigit);
                const std::int64_t n = readNumber(picture, at);
                skipBlanks(picture, at);
                if (at >= picture.size() || picture[at] != ')') return fault(kNoCloseParen);
                if (n > 0) length += unit * (n - 1);
                i = at;
            } else if (std::string_view("9XAZ*+-,./B0$").find(c) != std::string_view::npos) {
                unit = 1;
                ++length;
            } else if ((c == 'C' || c == 'D') && i + 1 < picture.size() &&
                       picture[i + 1] == (c == 'C' ? 'R' : 'B')) {
                unit = 0;
                length += 2;
                ++i;
            } else if (c == 'V' || c == 'S' || c == 'P') {
                unit = 0;  // no character of its own
            } else {
                return fault(kBadPictureChar);
            }
            length = std::min<std::int64_t>(length, std::numeric_limits<std::int32_t>::max());
        }
        item_.type = 'X';
        item_.count = static_cast<std::int32_t>(length);
        item_.edited = true;
        pos_ = end;
        state_ = ParseState::expectClause;
        return 0;
    }

    std::int32_t inPicture(char c) {
        if (c == '(') return repeatCount();
        if (isPictureLetter(c)) {
            if (item_.pointMark == 'V') {
                grow(item_.fractionCount);
            } else if (item_.type != 'S' && c != item_.type) {
                return fault(kBadCombination);
            } else {
                grow(item_.count);
            }
            ++pos_;
            endPictureAtBlank();
            return 0;
        }
        if (c == 'V') {
            if (item_.pointMark == 'V') return fault(kBadCombination);
            item_.pointMark = 'V';
            ++pos_;
            return 0;
        }
        return fault(kBadPictureChar);
    }

    // n in parentheses replaces the count of the part; it ends the picture.
    std::int32_t repeatCount() {
        ++pos_;
        skipBlanks(text_, pos_);
        if (pos_ >= text_.size() || !isDigit(text_[pos_])) return fault(kParenNotDigit);
        const std::int32_t n = readNumber(text_, pos_);
        (item_.pointMark == 'V' ? item_.fractionCount : item_.count) = n;
        skipBlanks(text_, pos_);
        if (pos_ >= text_.size() || text_[pos_] != ')') return fault(kNoCloseParen);
        ++pos_;
        state_ = ParseState::expectClause;
        return 0;
    }

    // A blank after a picture letter ends the picture string, so that a
    // clause may follow (PIC X VALUE ..., PIC 9 COMP-3).
    void endPictureAtBlank() {
        if (pos_ < text_.size() && isBlank(text_[pos_])) state_ = ParseState::expectClause;
    }

    std::string_view text_;
    std::string_view shown_;
    CopyItem& item_;
    ParseState& state_;
    std::vector<std::string>& messages_;
    std::size_t pos_ = 0;
};

enum class LineKind { skip, entry, digitsOnly };

bool lineWidthAtMost(std::string_view text, std::size_t width) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::size_t size = end - start;
        if (size > 0 && text[end - 1] == '\r') --size;
        if (size > width) return false;
        start = end + 1;
    }
    return true;
}

// Classifies one line (line break removed) and finds where its entry text
// starts: after a sequence number of 3 or more digits, or at the first
// non-blank character.
LineKind classify(std::string_view line, std::string_view& entry) {
    std::size_t digits = 0;
    while (digits < line.size() && isDigit(line[digits])) ++digits;
    if (digits > 0) {
        if (digits == line.size()) return LineKind::digitsOnly;
        entry = digits >= 3 ? line.substr(digits) : line;
    } else {
        std::size_t start = 0;
        skipBlanks(line, start);
        if (start == line.size()) return LineKind::skip;
        entry = line.substr(start);
    }
    // Indicator-column comment; a slash also ejects a page in a listing.
    if (entry.front() == '*' || entry.front() == '/') return LineKind::skip;
    if (entry.find_first_not_of(' ') == std::string_view::npos) return LineKind::skip;
    return LineKind::entry;
}

}  // namespace

std::int32_t parseEntryLine(std::string_view text, CopyItem& item, ParseState& state,
                            std::vector<std::string>& messages) {
    const std::string upper = upperCased(text);
    return EntryParser(upper, text, item, state, messages).run();
}

CopyBook parseCopyBook(std::string_view text) {
    CopyBook book;
    ParseState state = ParseState::expectLevel;
    CopyItem open;
    std::string_view openLine;  // first line of the entry in progress
    struct Group {
        std::int32_t level;
        char usage;
    };
    std::vector<Group> groups;  // the groups above the next entry

    // An end-of-file mark left by a PC editor.
    if (text.ends_with('\x1a')) text.remove_suffix(1);
    // Card images keep an identification area in columns 73-80 that is no
    // part of the entry. A copy-book with a longer line is not in card
    // format, and its lines are read whole.
    const bool cardFormat = lineWidthAtMost(text, 80);

    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (cardFormat && line.size() > 72) line = line.substr(0, 72);

        std::string_view entry;
        const LineKind kind = classify(line, entry);
        if (kind == LineKind::skip) continue;
        if (kind == LineKind::digitsOnly) {
            book.messages.push_back(withText(kDigitsOnly, line));
            book.code = kSyntaxError;
            return book;
        }
        if (state == ParseState::expectLevel) {
            open = CopyItem{};
            openLine = entry;
        }
        const std::int32_t r = parseEntryLine(entry, open, state, book.messages);
        if (r != 0) {
            book.code = r;
            return book;
        }
        if (state != ParseState::expectLevel) continue;
        // Conditions, renames and stand-alone items belong to no group.
        if (open.level != 88 && open.level != 66 && open.level != 77) {
            while (!groups.empty() && groups.back().level >= open.level) groups.pop_back();
            if (open.usage == ' ' && !groups.empty()) open.usage = groups.back().usage;
        }
        if (open.isGroup()) {
            if (open.level < 66) groups.push_back({open.level, open.usage});
        } else if (const char* fault = applyUsage(open)) {
            book.messages.push_back(withText(fault, entry));
            book.code = kSyntaxError;
            return book;
        }
        book.items.push_back(std::move(open));
    }

    if (state != ParseState::expectLevel) {
        book.messages.push_back(withText(kUnterminated, openLine));
        book.code = kSyntaxError;
    } else if (book.items.empty()) {
        book.messages.push_back(kNoEntry);
        book.code = kSyntaxError;
    }
    return book;
}

}  // namespace velk::mkp
