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
constexpr char kBinaryUnsupported[] = "[未サポート]COMP(BINARY)は現在サポートしていません\n->%s\n";
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

constexpr std::array<std::string_view, 5> kIgnoredWords = {"USAGE", "IS", "TIMES", "SIGN",
                                                            "TRAILING"};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
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
    while (pos < text.size() && text[pos] == ' ') ++pos;
}

// A word runs to the next blank, period or the end of the text.
std::string_view wordAt(std::string_view text, std::size_t pos) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != ' ' && text[end] != '.') ++end;
    return text.substr(pos, end - pos);
}

std::int32_t binaryWidth(std::int32_t digits) {
    if (digits <= 4) return 2;
    if (digits <= 9) return 4;
    return 8;
}

class EntryParser {
public:
    EntryParser(std::string_view text, CopyItem& item, ParseState& state,
                std::vector<std::string>& messages)
        : text_(text), item_(item), state_(state), messages_(messages) {}

    std::int32_t run() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '.' && state_ != ParseState::expectLevel) {
                state_ = ParseState::expectLevel;
                return result_;
            }
            if (c == ' ') {
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
                case ParseState::skipValue: ++pos_; break;
            }
            if (step != 0) return step;
        }
        return result_;
    }

private:
    std::int32_t fault(const char* format) {
        messages_.push_back(withText(format, text_));
        return kSyntaxError;
    }

    bool at(std::string_view word) const { return text_.substr(pos_).starts_with(word); }

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
        state_ = ParseState::expectClause;
        return 0;
    }

    std::int32_t clause(char c) {
        for (std::string_view word : kIgnoredWords) {
            if (at(word)) {
                pos_ += word.size();
                return 0;
            }
        }
        if (at("VALUE")) {
            pos_ += 5;
            state_ = ParseState::skipValue;
            return 0;
        }
        if (at("PIC")) {
            pos_ += at("PICTURE") ? 7 : 3;
            state_ = ParseState::pictureStart;
            return 0;
        }
        if (at("REDEFINES")) return redefines();
        if (at("OCCURS")) return occurs();
        if (at("COMP-3") || at("PACKED-DECIMAL")) {
            if (item_.count > 18) return fault(kPackedTooLong);
            item_.type = 'C';
            pos_ += at("COMP-3") ? 6 : 14;
            return 0;
        }
        if (at("COMP") || at("BINARY")) return binary();
        if (c == 'V') {
            if (item_.pointMark == 'V') return fault(kBadCombination);
            item_.pointMark = 'V';
            ++pos_;
            state_ = ParseState::pictureStart;
            return 0;
        }
        return fault(kUnknownKeyword);
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

    std::int32_t binary() {
        if (item_.count > 18) return fault(kBinaryTooLong);
        item_.count = binaryWidth(item_.count);
        item_.type = 'X';
        pos_ += at("COMPUTATIONAL") ? 13 : at("COMP") ? 4 : 6;
        messages_.push_back(withText(kBinaryUnsupported, text_));
        result_ = kBinaryUsage;
        return 0;
    }

    std::int32_t pictureStart(char c) {
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
        if (pos_ < text_.size() && text_[pos_] == ' ') state_ = ParseState::expectClause;
    }

    std::string_view text_;
    CopyItem& item_;
    ParseState& state_;
    std::vector<std::string>& messages_;
    std::size_t pos_ = 0;
    std::int32_t result_ = 0;
};

enum class LineKind { skip, entry, digitsOnly };

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
    if (entry.front() == '*') return LineKind::skip;  // indicator-column comment
    if (entry.find_first_not_of(' ') == std::string_view::npos) return LineKind::skip;
    return LineKind::entry;
}

}  // namespace

std::int32_t parseEntryLine(std::string_view text, CopyItem& item, ParseState& state,
                            std::vector<std::string>& messages) {
    return EntryParser(text, item, state, messages).run();
}

CopyBook parseCopyBook(std::string_view text) {
    CopyBook book;
    ParseState state = ParseState::expectLevel;
    CopyItem open;
    std::string_view openLine;  // first line of the entry in progress
    bool sawBinary = false;

    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);

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
        if (r == kBinaryUsage) {
            sawBinary = true;
        } else if (r != 0) {
            book.code = r;
            return book;
        }
        if (state == ParseState::expectLevel) book.items.push_back(std::move(open));
    }

    if (state != ParseState::expectLevel) {
        book.messages.push_back(withText(kUnterminated, openLine));
        book.code = kSyntaxError;
    } else if (book.items.empty()) {
        book.messages.push_back(kNoEntry);
        book.code = kSyntaxError;
    } else {
        book.code = sawBinary ? kBinaryUsage : 0;
    }
    return book;
}

}  // namespace velk::mkp
