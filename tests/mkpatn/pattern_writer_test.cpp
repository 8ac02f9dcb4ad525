// Items to pattern lines: expansion, options, REDEFINES layouts, lengths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mkpatn/copy_book_parser.h"
#include "mkpatn/pattern_writer.h"

namespace {

struct Made {
    int code;
    std::vector<std::string> lines;
    std::vector<long> lengths;
};

Made make(const std::string& copyBook, int optCsv, int optQuote) {
    velk::mkp::CopyBook book = velk::mkp::parseCopyBook(copyBook);
    EXPECT_TRUE(book.code == 0 || book.code == -4) << copyBook;
    velk::mkp::markRedefines(book.items);
    const auto pattern = velk::mkp::buildPatternLines(book.items, optCsv, optQuote);
    Made made{pattern.code, pattern.lines, {}};
    for (const auto& line : pattern.lines) made.lengths.push_back(velk::mkp::recordLength(line));
    return made;
}

const std::string kRecord =
    "01 REC.\n05 KIND PIC X.\n05 NAME PIC N(3).\n05 QTY PIC S9(3)V9(2).\n"
    "05 AMT PIC S9(5)V99 COMP-3.\n05 TBL OCCURS 2.\n10 CD PIC 9(2).\n";

TEST(PatternWriter, WorkedExample) {
    Made plain = make(kRecord, 0, 0);
    EXPECT_EQ(plain.lines, std::vector<std::string>{"XNNNNNNSSS.SSCCCCC.CC9999\n"});
    EXPECT_EQ(plain.lengths, std::vector<long>{20});

    Made csv = make(kRecord, 1, 1);
    EXPECT_EQ(csv.lines, std::vector<std::string>{"\"X\",\"NNNNNN\",SSS.SS,CCCCC.CC,99,99\n"});
    EXPECT_EQ(csv.lengths, std::vector<long>{20});

    Made two = make(kRecord +
                        "05 BODY PIC X(6).\n05 BODY-N REDEFINES BODY.\n"
                        "10 NUM PIC 9(4).\n10 PK PIC S9(3) COMP-3.\n",
                    0, 0);
    EXPECT_EQ(two.lines, (std::vector<std::string>{"XNNNNNNSSS.SSCCCCC.CC9999XXXXXX\n",
                                                   "XNNNNNNSSS.SSCCCCC.CC99999999CCC\n"}));
    EXPECT_EQ(two.lengths, (std::vector<long>{26, 26}));
}

TEST(PatternWriter, SeparatorsQuotesAndOccurs) {
    const struct {
        const char* copyBook;
        int optCsv, optQuote;
        const char* line;
        long length;
    } cases[] = {
        {"05 T OCCURS 3.\n10 A PIC X(2).\n", 1, 0, "XX,XX,XX\n", 6},
        {"05 T OCCURS 3.\n10 A PIC X(2).\n", 2, 0, "XX XX XX\n", 6},
        {"05 T OCCURS 3.\n10 A PIC X(2).\n", 0, 0, "XXXXXX\n", 6},
        {"05 A PIC X OCCURS 2.\n", 1, 1, "\"X\",\"X\"\n", 2},
        {"05 A PIC X.\n", 1, 0, "X\n", 1},
        {"05 A PIC X(3).\n05 B PIC A(2).\n05 C PIC N(2).\n", 0, 1, "\"XXX\"\"AA\"\"NNNN\"\n", 9},
        {"05 A PIC 9(3).\n05 B PIC S9(3).\n05 C PIC 9(3) COMP-3.\n", 0, 1, "999SSSCCC\n", 8},
        {"05 B PIC 9(4) COMP.\n05 C PIC 9(9) BINARY.\n", 1, 1, "\"XX\",\"XXXX\"\n", 6},
        {"01 REC.\n05 GRP.\n", 1, 0, "\n", 0},
        // Same-kind numbers in a row stay apart: one run would read as one number.
        {"05 A PIC S9(4) COMP-3.\n05 B PIC S9(4) COMP-3.\n", 0, 0, "CCCC CCCC\n", 6},
        {"05 A PIC S9(4) COMP-3.\n05 B PIC S9(4) COMP-3.\n", 1, 0, "CCCC,CCCC\n", 6},
        {"05 A PIC S9(2)V9 OCCURS 3.\n", 0, 0, "SS.S SS.S SS.S\n", 9},
        {"01 R.\n05 X1 PIC S9.\n05 T OCCURS 2.\n10 Y PIC S9.\n10 Z PIC X.\n10 W PIC S9.\n", 0, 0,
         "S SXS SXS\n", 7},
        {"05 A PIC S9(3)V.\n05 B PIC 9V.\n", 1, 0, "SSS,9.\n", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copyBook);
        const Made made = make(c.copyBook, c.optCsv, c.optQuote);
        EXPECT_EQ(made.lines, std::vector<std::string>{c.line});
        EXPECT_EQ(made.lengths, std::vector<long>{c.length});
    }
}

TEST(PatternWriter, RedefinesLayouts) {
    const struct {
        const char* copyBook;
        const char* first;
        const char* second;
    } cases[] = {
        {"01 R.\n05 G OCCURS 2.\n10 A PIC X.\n10 B REDEFINES A PIC 9.\n05 C PIC A.\n",
         "XXA\n", "99A\n"},
        {"01 R.\n05 A PIC X(2).\n05 B REDEFINES A PIC 9(2).\n05 C REDEFINES A PIC N.\n",
         "XX\n", "99NN\n"},
        {"01 R.\n05 A PIC X.\n05 D REDEFINES Q PIC 9.\n", "X\n", "X9\n"},
        {"01 R.\n05 A.\n10 A1 PIC X.\n05 B REDEFINES A.\n10 B1 PIC 9(3).\n05 E PIC A.\n",
         "XA\n", "999A\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copyBook);
        const Made made = make(c.copyBook, 0, 0);
        EXPECT_EQ(made.lines, (std::vector<std::string>{c.first, c.second}));
    }
}

TEST(PatternWriter, LinesThatCannotBeBuiltAreRefused) {
    EXPECT_EQ(make("05 T OCCURS 99999.\n10 A PIC X(99999).\n", 0, 0).code, -30);
    EXPECT_EQ(make("05 A PIC X(999999999) OCCURS 9.\n", 1, 0).code, -30);
    EXPECT_EQ(make("05 A PIC N(1999999999).\n", 0, 0).code, -30);
    // A few bytes of copy-book must not make a line of gigabytes.
    EXPECT_EQ(make("05 A PIC X(9999) OCCURS 200000.\n", 0, 0).code, -30);
    EXPECT_EQ(make("05 A PIC X(17000000).\n", 0, 0).code, -30);
    // Long lines are built whole, well past a 32,760-byte buffer.
    const Made big = make("05 T OCCURS 5000.\n10 A PIC X(9).\n", 1, 0);
    ASSERT_EQ(big.code, 0);
    EXPECT_EQ(big.lines[0].size(), 50000u);
    EXPECT_EQ(big.lengths[0], 45000);
}

}  // namespace
