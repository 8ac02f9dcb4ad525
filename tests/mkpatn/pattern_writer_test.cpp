// Items to pattern lines: expansion, options, REDEFINES layouts, lengths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mkpatn/copy_book_parser.h"
#include "mkpatn/pattern_writer.h"

namespace {

using Lines = std::vector<std::string>;

velk::mkp::PatternLines make(const std::string& copyBook, int optCsv, int optQuote) {
    velk::mkp::CopyBook book = velk::mkp::parseCopyBook(copyBook);
    EXPECT_EQ(book.code, 0) << copyBook;
    return velk::mkp::buildPatternLines(book.items, optCsv, optQuote);
}

TEST(PatternWriter, Lines) {
    const std::string example =
        "01 REC.\n05 KIND PIC X.\n05 NAME PIC N(3).\n05 QTY PIC S9(3)V9(2).\n"
        "05 AMT PIC S9(5)V99 COMP-3.\n05 TBL OCCURS 2.\n10 CD PIC 9(2).\n";
    const std::string occurs = "05 T OCCURS 3.\n10 A PIC X(2).\n";
    const struct {
        std::string copyBook;
        int optCsv, optQuote;
        Lines lines;
        long length;  // of the record, by the last line
    } cases[] = {
        {example, 0, 0, {"XNNNNNNSSS.SSCCCCC.CC9999\n"}, 20},
        {occurs, 1, 0, {"XX,XX,XX\n"}, 6},
        {occurs, 2, 0, {"XX XX XX\n"}, 6},
        {"05 A PIC X OCCURS 2.\n", 1, 1, {"\"X\",\"X\"\n"}, 2},
        {"05 A PIC X.\n", 1, 0, {"X\n"}, 1},
        {"05 A PIC X(3).\n05 B PIC A(2).\n05 C PIC N(2).\n", 0, 1, {"\"XXX\"\"AA\"\"NNNN\"\n"}, 9},
        {"05 A PIC 9(3).\n05 B PIC S9(3).\n05 C PIC 9(3) COMP-3.\n", 0, 1, {"999SSSCCC\n"}, 8},
        {"05 B PIC 9(4) COMP.\n05 C PIC 9(9) BINARY.\n", 1, 1, {"UUUU,UUUUUUUUU\n"}, 6},
        {"01 REC.\n05 GRP.\n", 1, 0, {"\n"}, 0},
        // Same-kind numbers in a row stay apart: one run would read as one number.
        {"05 A PIC S9(2)V9 OCCURS 3.\n", 0, 0, {"SS.S SS.S SS.S\n"}, 9},
        {"01 R.\n05 X1 PIC S9.\n05 T OCCURS 2.\n10 Y PIC S9.\n10 Z PIC X.\n10 W PIC S9.\n", 0, 0,
         {"S SXS SXS\n"}, 7},
        {"05 A PIC S9(3)V.\n05 B PIC 9V.\n", 1, 0, {"SSS,9.\n"}, 4},
        // A first line without the alternatives, a second with the last of each.
        {"01 R.\n05 G OCCURS 2.\n10 A PIC X.\n10 B REDEFINES A PIC 9.\n05 C PIC A.\n", 0, 0,
         {"XXA\n", "99A\n"}, 3},
        {"01 R.\n05 A PIC X(2).\n05 B REDEFINES A PIC 9(2).\n05 C REDEFINES A PIC N.\n", 0, 0,
         {"XX\n", "99\n", "NN\n"}, 2},
        // Naming nothing before it, a REDEFINES overlays nothing.
        {"01 R.\n05 A PIC X.\n05 D REDEFINES Q PIC 9.\n", 0, 0, {"X9\n"}, 2},
        // Every layout has the length of the storage: the shorter are filled.
        {"01 R.\n05 A.\n10 A1 PIC X.\n05 B REDEFINES A.\n10 B1 PIC 9(3).\n05 E PIC A.\n", 1, 1,
         {"\"X\",\"XX\",\"A\"\n", "999,\"A\"\n"}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copyBook);
        const auto made = make(c.copyBook, c.optCsv, c.optQuote);
        ASSERT_EQ(made.code, 0);
        EXPECT_EQ(made.lines, c.lines);
        EXPECT_EQ(velk::mkp::recordLength(made.lines.back()), c.length);
    }
}

// (OCCURS times a length beyond 32 bits is the huge copy-book of RunMkp.)
TEST(PatternWriter, LinesThatCannotBeBuiltAreRefused) {
    EXPECT_EQ(make("05 A PIC N(1999999999).\n", 0, 0).code, -30);
    // A few bytes of copy-book must not make a line of gigabytes.
    EXPECT_EQ(make("05 A PIC X(9999) OCCURS 200000.\n", 0, 0).code, -30);
    EXPECT_EQ(make("05 A PIC X(17000000).\n", 0, 0).code, -30);
    // Long lines are built whole, well past a 32,760-byte buffer.
    const auto big = make("05 T OCCURS 5000.\n10 A PIC X(9).\n", 1, 0);
    ASSERT_EQ(big.code, 0);
    EXPECT_EQ(big.lines[0].size(), 50000u);
    EXPECT_EQ(velk::mkp::recordLength(big.lines[0]), 45000);
}

}  // namespace
