// Copy-book text to items: accepted entries, every refusal, group usage and
// entries over several lines. (Broken input at large is the fuzz target's.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mkpatn/copy_book_parser.h"

namespace {

using velk::mkp::CopyBook;
using velk::mkp::parseCopyBook;

// "5 AMOUNT C5V2 *4": level, name, type and count, the point and its
// fraction, OCCURS when present. (REDEFINES shows in the pattern layouts.)
std::string describe(const velk::mkp::CopyItem& item) {
    std::string s = std::to_string(item.level) + " " + item.name.value_or("") + " " + item.type +
                    std::to_string(item.count);
    if (item.pointMark != ' ') s += item.pointMark + std::to_string(item.fractionCount);
    if (item.occurs != 0) s += " *" + std::to_string(item.occurs);
    return s;
}

// Every item of a copy-book that parses, described.
std::vector<std::string> describeAll(const std::string& text) {
    const CopyBook book = parseCopyBook(text);
    EXPECT_EQ(book.code, 0);
    std::vector<std::string> items;
    for (const auto& item : book.items) items.push_back(describe(item));
    return items;
}

TEST(CopyBookParser, ReadsEntries) {
    const std::string longName(400, 'N');
    const struct {
        std::string text, item;
    } cases[] = {
        {"05 AMOUNT PIC S9(5)V9(2) COMP-3.", "5 AMOUNT C5V2"},
        {"05 F PIC 9(10)V9(10) PACKED-DECIMAL.", "5 F C10V10"},
        {"05 B PIC 9(18) USAGE IS COMPUTATIONAL-5.", "5 B U18"},
        {"05 F COMP PIC S9(4).", "5 F B4"},
        {"05 F USAGE IS PACKED-DECIMAL PIC 9(3)V9.", "5 F C3V1"},
        {"05 A PIC S9(3) COMPUTATIONAL-3.", "5 A C3"},
        {"05 a pic x usage comp-3.", "5 A C1"},
        {"   05  Filler  Pic xx Value 'a. b'.", "5 FILLER X2"},
        {"05 Kana Picture X(4) value \"Abc.\".", "5 KANA X4"},
        {"05 A PIC $*(5)9DB.", "5 A X9"},
        {"05 A PIC 99/99/99 VALUE 1.5.", "5 A X8"},
        {"05 A PIC XXBX(3)0.", "5 A X7"},
        {"05 A PIC ZZZV99.", "5 A X5"},
        {"66 R RENAMES A THRU B.", "66 R 00"},
        {"05\tT\tPIC\tX(2).\t", "5 T X2"},
        {"05 A PIC XX(5).", "5 A X5"},
        {"05 A PIC X( 5 ).", "5 A X5"},
        {"05 A PICTURE 9(3)V9(2).", "5 A 93V2"},
        {"05 A PIC S9X.", "5 A S2"},
        {"05 A PIC S9(3) SIGN TRAILING.", "5 A S3"},
        {"05 A PIC N(2) OCCURS 4 TIMES.", "5 A N2 *4"},
        {"05 A VALUE 1 PIC X.", "5 A 00"},
        {"05 A PIC X(99999999999).", "5 A X2147483647"},
        {"05 " + longName + std::string(300, ' ') + "PIC X(2).\n", "5 " + longName + " X2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(describeAll(c.text), std::vector<std::string>{c.item});
    }
}

TEST(CopyBookParser, RefusesEachFaultWithItsMessage) {
    const struct {
        const char* text;
        const char* message;
        const char* shown;  // the text as the message shows it, when not the whole
    } cases[] = {
        {"X PIC X.", "レベル番号が検出できません", nullptr},
        {"000200 * COMMENT", "レベル番号が検出できません", " * COMMENT"},
        {"000300", "数字だけで構成された行があります", nullptr},
        {"01", "数字だけで構成された行があります", nullptr},
        {"05 A REDEFINES", "REDEFINES句の後ろにデータ名が記述されていません", nullptr},
        {"05 A REDEFINES .", "REDEFINES句の後ろにデータ名が記述されていません", nullptr},
        {"05 A OCCURS X.", "OCCURS句の後ろに反復回数が記述されていません", nullptr},
        {"05 F PIC 9(20) COMP-3.", "COMP-3項目の長さが18を超えています", nullptr},
        {"05 F PIC 9(19) COMP.", "COMP項目の長さが18を超えています", nullptr},
        {"05 A PIC 9V9V9.", "編集形式の組み合わせが認識できません", nullptr},
        {"05 A PIC 9X.", "編集形式の組み合わせが認識できません", nullptr},
        {"05 A PIC X(3)X(2).", "認識できないキーワードが含まれます", nullptr},
        {"05 A PIC X (5).", "認識できないキーワードが含まれます", nullptr},
        {"05 A PIC 9 COMP-6.", "認識できないキーワードが含まれます", nullptr},
        {"05 A PIC X COMP.", "編集形式の組み合わせが認識できません", nullptr},
        {"05 A PIC ZZ9 COMP-3.", "編集形式の組み合わせが認識できません", nullptr},
        {"05 A PIC S9(10)V9(9) COMP.", "COMP項目の長さが18を超えています", nullptr},
        {"05 A PIC ZZ9Q.", "編集形式に認識出来ない文字が現れました", nullptr},
        {"05 A PIC Z(.", "'('の後ろが数字ではありません", nullptr},
        {"05 A PIC S9 V S9.", "S(サイン)の後にS(サイン)が指定されています", nullptr},
        {"05 A PIC SX.", "S(サイン付き)の後に9がありません", nullptr},
        {"05 A PIC Q(3).", "編集形式(属性)に[9],[X],[A],[N]以外が定義されています", nullptr},
        {"05 A PIC X(B).", "'('の後ろが数字ではありません", nullptr},
        {"05 A PIC X(3.", "項目長の後ろが')'ではありません", nullptr},
        {"05 A PIC X#.", "編集形式に認識出来ない文字が現れました", nullptr},
        {"05 A PIC X(3)", "ピリオドで終わっていない記述があります", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const CopyBook book = parseCopyBook(c.text);
        EXPECT_EQ(book.code, -3);
        ASSERT_FALSE(book.messages.empty());
        EXPECT_EQ(book.messages.back(),
                  std::string("[解析エラー]") + c.message + "\n->" + (c.shown ? c.shown : c.text) + "\n");
        EXPECT_EQ(book.messages.size(), 1u);
    }
    EXPECT_EQ(parseCopyBook("* only a comment\n\n").messages,
              std::vector<std::string>{"[解析エラー]データ項目の記述がありません\n"});
}

// A USAGE on a group is the usage of every elementary item under it.
TEST(CopyBookParser, GroupUsageReachesItsItems) {
    EXPECT_EQ(describeAll("01 R.\n05 G USAGE COMP-3.\n10 A PIC S9(5).\n88 A-ZERO VALUE 0.\n10 H.\n"
                          "15 B PIC 9(3) COMP.\n15 C PIC 9(3).\n05 D PIC 9(2).\n77 E PIC 9.\n"),
              (std::vector<std::string>{"1 R 00", "5 G 00", "10 A C5", "88 A-ZERO 00", "10 H 00", "15 B U3",
                                        "15 C C3", "5 D 92", "77 E 91"}));
    EXPECT_EQ(parseCopyBook("01 R COMP.\n05 A PIC X.\n").code, -3);
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
        "05 E PIC X.\n"
        "05 F PIC S99999\n"  // the line end ends the picture
        "   USAGE COMP-3.\n"
        "05 G PIC X VALUE 'IT''S. \n"  // a literal going on in the next line
        "      -    'A'. 05 H PIC X.\n"
        "05 I PIC X.";  // no line break at the end
    EXPECT_EQ(describeAll(text), (std::vector<std::string>{"1 REC 00", "5 A X5", "5 B C5", "5 C X5", "5 E X1",
                                                           "5 F C5", "5 G X1", "5 I X1"}));
}

}  // namespace
