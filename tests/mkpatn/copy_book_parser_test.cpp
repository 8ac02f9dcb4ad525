// Copy-book text to items: accepted entries, every refusal, and input that
// is broken in ways no table lists.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mkpatn/copy_book_parser.h"

namespace {

using velk::mkp::CopyBook;
using velk::mkp::parseCopyBook;

struct Accepted {
    const char* text;
    int level;
    const char* name;
    char type;
    int count;
    char point;
    int fraction;
    int occurs;
    const char* redefines;  // "" for none
    int code;
};

TEST(CopyBookParser, ReadsEntries) {
    const Accepted cases[] = {
        {"01 REC-A.", 1, "REC-A", '0', 0, ' ', 0, 0, "", 0},
        {"05 AMOUNT PIC S9(5)V9(2) COMP-3.", 5, "AMOUNT", 'C', 5, 'V', 2, 0, "", 0},
        {"05 F PIC 9(10)V9(10) PACKED-DECIMAL.", 5, "F", 'C', 10, 'V', 10, 0, "", 0},
        {"05 B PIC 9(4) COMP.", 5, "B", 'X', 2, ' ', 0, 0, "", -4},
        {"05 B PIC 9(5) BINARY.", 5, "B", 'X', 4, ' ', 0, 0, "", -4},
        {"05 B PIC 9(18) USAGE IS COMPUTATIONAL.", 5, "B", 'X', 8, ' ', 0, 0, "", -4},
        {"05 A PIC XX(5).", 5, "A", 'X', 5, ' ', 0, 0, "", 0},
        {"05 A PIC X( 5 ).", 5, "A", 'X', 5, ' ', 0, 0, "", 0},
        {"05 A PIC 999V99.", 5, "A", '9', 3, 'V', 2, 0, "", 0},
        {"05 A PICTURE 9(3)V9(2).", 5, "A", '9', 3, 'V', 2, 0, "", 0},
        {"05 A PIC S9X.", 5, "A", 'S', 2, ' ', 0, 0, "", 0},
        {"05 A PIC S9(3) SIGN TRAILING.", 5, "A", 'S', 3, ' ', 0, 0, "", 0},
        {"05 A PIC N(2) OCCURS 4 TIMES.", 5, "A", 'N', 2, ' ', 0, 4, "", 0},
        {"05 B REDEFINES A PIC A(2).", 5, "B", 'A', 2, ' ', 0, 0, "A", 0},
        {"05 A VALUE 1 PIC X.", 5, "A", '0', 0, ' ', 0, 0, "", 0},
        {"05 A PIC X VALUE 'Y'.", 5, "A", 'X', 1, ' ', 0, 0, "", 0},
        {"05 A PIC X(99999999999).", 5, "A", 'X', 2147483647, ' ', 0, 0, "", 0},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.text);
        const CopyBook book = parseCopyBook(c.text);
        ASSERT_EQ(book.code, c.code);
        ASSERT_EQ(book.items.size(), 1u);
        const auto& item = book.items[0];
        EXPECT_EQ(item.level, c.level);
        EXPECT_EQ(item.name.value_or(""), c.name);
        EXPECT_EQ(item.type, c.type);
        EXPECT_EQ(item.count, c.count);
        EXPECT_EQ(item.pointMark, c.point);
        EXPECT_EQ(item.fractionCount, c.fraction);
        EXPECT_EQ(item.occurs, c.occurs);
        EXPECT_EQ(item.redefinesName.value_or(""), c.redefines);
    }
}

std::string shown(const std::string& head, const std::string& text) {
    return "[解析エラー]" + head + "\n->" + text + "\n";
}

TEST(CopyBookParser, RefusesEachFaultWithItsMessage) {
    const struct {
        const char* text;
        std::string message;
    } cases[] = {
        {"X PIC X.", shown("レベル番号が検出できません", "X PIC X.")},
        {"000200 * COMMENT", shown("レベル番号が検出できません", " * COMMENT")},
        {"000300", shown("数字だけで構成された行があります", "000300")},
        {"01", shown("数字だけで構成された行があります", "01")},
        {"05 A REDEFINES", shown("REDEFINES句の後ろにデータ名が記述されていません", "05 A REDEFINES")},
        {"05 A REDEFINES .", shown("REDEFINES句の後ろにデータ名が記述されていません", "05 A REDEFINES .")},
        {"05 A OCCURS X.", shown("OCCURS句の後ろに反復回数が記述されていません", "05 A OCCURS X.")},
        {"05 F PIC 9(20) COMP-3.", shown("COMP-3項目の長さが18を超えています", "05 F PIC 9(20) COMP-3.")},
        {"05 F PIC 9(19) COMP.", shown("COMP項目の長さが18を超えています", "05 F PIC 9(19) COMP.")},
        {"05 A PIC 9V9V9.", shown("編集形式の組み合わせが認識できません", "05 A PIC 9V9V9.")},
        {"05 A PIC 9X.", shown("編集形式の組み合わせが認識できません", "05 A PIC 9X.")},
        {"05 A PIC X(3)X(2).", shown("認識できないキーワードが含まれます", "05 A PIC X(3)X(2).")},
        {"05 A PIC X (5).", shown("認識できないキーワードが含まれます", "05 A PIC X (5).")},
        {"05 A PIC X usage comp-3.", shown("認識できないキーワードが含まれます", "05 A PIC X usage comp-3.")},
        {"05 A PIC S9 V S9.", shown("S(サイン)の後にS(サイン)が指定されています", "05 A PIC S9 V S9.")},
        {"05 A PIC SX.", shown("S(サイン付き)の後に9がありません", "05 A PIC SX.")},
        {"05 A PIC Z(3).", shown("編集形式(属性)に[9],[X],[A],[N]以外が定義されています", "05 A PIC Z(3).")},
        {"05 A PIC X(B).", shown("'('の後ろが数字ではありません", "05 A PIC X(B).")},
        {"05 A PIC X(3.", shown("項目長の後ろが')'ではありません", "05 A PIC X(3.")},
        {"05 A PIC X-.", shown("編集形式に認識出来ない文字が現れました", "05 A PIC X-.")},
        {"05 A PIC X(3)", shown("ピリオドで終わっていない記述があります", "05 A PIC X(3)")},
        {"* only a comment\n\n", "[解析エラー]データ項目の記述がありません\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const CopyBook book = parseCopyBook(c.text);
        EXPECT_EQ(book.code, -3);
        EXPECT_EQ(book.messages, std::vector<std::string>{c.message});
    }
}

TEST(CopyBookParser, BinaryUsageIsReportedAndReadingGoesOn) {
    const CopyBook book =
        parseCopyBook("01 R.\n05 A PIC 9 COMPUTATIONAL-3.\n");
    EXPECT_EQ(book.code, -3);
    ASSERT_EQ(book.messages.size(), 2u);
    EXPECT_EQ(book.messages[0],
              "[未サポート]COMP(BINARY)は現在サポートしていません\n->05 A PIC 9 COMPUTATIONAL-3.\n");

    const CopyBook ok = parseCopyBook("01 R.\n05 A PIC 9(4) COMP.\n05 B PIC X.\n");
    EXPECT_EQ(ok.code, -4);
    EXPECT_EQ(ok.items.size(), 3u);
}

TEST(CopyBookParser, LinesAreClassifiedAndEntriesSpanLines) {
    const std::string text =
        "000100 01  REC.\n"
        "000200*COMMENT\n"
        "      * COMMENT\n"
        "\n"
        "      \n"
        "000300   \n"
        "       05 A PIC X(5)\n"
        "000400* comment inside an open entry\n"
        "   .\n"
        "05 B PIC S9(5)\n"
        "   USAGE COMP-3.\n"
        "05 C PIC X(5) VALUE 'A.B'. 05 D PIC X.\n"
        "05 E PIC X.";  // no line break at the end
    const CopyBook book = parseCopyBook(text);
    ASSERT_EQ(book.code, 0);
    std::vector<std::string> names;
    for (const auto& item : book.items) names.push_back(item.name.value_or(""));
    EXPECT_EQ(names, (std::vector<std::string>{"REC", "A", "B", "C", "E"}));
    EXPECT_EQ(book.items[2].type, 'C');

    // A picture still open at the line's end takes the next line's word.
    EXPECT_EQ(parseCopyBook("05 A PIC S99999\n   USAGE COMP-3.\n").code, -3);
}

TEST(CopyBookParser, LineEndsAndLongLinesReadAlike) {
    const std::string lf = "01 REC.\n05 A PIC X(3).\n05 B PIC 9(2)V9.\n";
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const CopyBook a = parseCopyBook(lf);
    const CopyBook b = parseCopyBook(crlf);
    ASSERT_EQ(b.code, 0);
    ASSERT_EQ(a.items.size(), b.items.size());
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        EXPECT_EQ(a.items[i].name, b.items[i].name);
        EXPECT_EQ(a.items[i].count, b.items[i].count);
    }

    const std::string longName(400, 'N');
    const CopyBook wide = parseCopyBook("05 " + longName + std::string(300, ' ') + "PIC X(2).\n");
    ASSERT_EQ(wide.code, 0);
    EXPECT_EQ(wide.items[0].name, longName);
    EXPECT_EQ(wide.items[0].count, 2);
}

// Every prefix of a valid copy-book, and random bytes, end in a result and,
// on refusal, a message; nothing crashes (the sanitizer build checks memory).
TEST(CopyBookParser, BrokenInputEndsInACode) {
    const std::string good =
        "000100 01 REC.\n000200   05 K PIC X.\n   05 T OCCURS 2 TIMES.\n"
        "     10 V PIC S9(3)V99 COMP-3 VALUE ZERO.\n   05 B REDEFINES T PIC N(5).\n";
    auto check = [](const std::string& text) {
        const CopyBook book = parseCopyBook(text);
        ASSERT_TRUE(book.code == 0 || book.code == -3 || book.code == -4) << book.code;
        if (book.code == -3) {
            ASSERT_FALSE(book.messages.empty());
        }
    };
    for (std::size_t n = 0; n <= good.size(); ++n) check(good.substr(0, n));

    std::mt19937 random(7);
    const std::string alphabet = "0123456789 .()*-SVXAN9PICOMPUSAGE\n\r\t\x81\xff";
    for (int i = 0; i < 3000; ++i) {
        std::string text(random() % 120, '\0');
        for (char& c : text) {
            c = i % 2 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        }
        check(text);
    }
}

}  // namespace
