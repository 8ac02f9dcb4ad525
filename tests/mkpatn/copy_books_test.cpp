// Copy-books written the way real ones are (card images with sequence
// numbers, FILLER, 88-levels, VALUE clauses, CR LF, identification columns):
// each through mkp, then through j2s over records whose CSV is known; and
// GnuCOBOL, when it is installed, as the judge of the record lengths and as
// the writer of real binary records.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "mkpatn/pattern_writer.h"
#include "support/ebcdic.h"
#include "support/run_velk.h"

namespace {

using velk::test::ebcdic;
using velk::test::readFile;
using velk::test::writeFile;

// Cards numbered 100, 200, ...: sequence number, a blank indicator, the
// entry from column 8 up to column 72, and the identification area (ident
// and the number) when ident is given.
std::string cards(const std::vector<std::string>& entries, const std::string& ident = "") {
    std::string text;
    for (int seq = 100; const std::string& entry : entries) {
        char number[16];
        std::snprintf(number, sizeof number, "%06d", seq);
        std::string line = std::string(number) + " " + entry;
        if (!ident.empty())
            line += std::string(72 - std::min<std::size_t>(72, line.size()), ' ') + ident + std::to_string(seq);
        text += line + "\r\n";
        seq += 100;
    }
    return text;
}

// Signed zoned digits: the sign in the zone of the last one.
std::string zoned(const std::string& digits, char sign) {
    std::string out = ebcdic(digits);
    out.back() = static_cast<char>((sign == '-' ? 0xD0 : 0xC0) | (out.back() & 0x0F));
    return out;
}

bool haveCobol() { return std::system("command -v cobc >/dev/null 2>&1") == 0; }

// What GnuCOBOL allocates for each 01 record of a copy-book, compiled with
// binary items of 2, 4 or 8 bytes as on the mainframe.
std::vector<long> cobolLengths(const std::string& copyBook) {
    const std::string dir = velk::test::makeTempDir();
    writeFile(dir + "/book.cpy", copyBook);
    std::string program =
        "       IDENTIFICATION DIVISION.\n       PROGRAM-ID. LENGTHS.\n       DATA DIVISION.\n"
        "       WORKING-STORAGE SECTION.\n       COPY \"book.cpy\".\n       PROCEDURE DIVISION.\n";
    std::istringstream cards(copyBook);
    for (std::string card, level, name; std::getline(cards, card);)
        if (card.size() > 7 && std::istringstream(card.substr(7)) >> level >> name && level == "01")
            program += "           DISPLAY LENGTH OF " + name.substr(0, name.find('.')) + "\n";
    writeFile(dir + "/lengths.cob", program + "           STOP RUN.\n");
    const auto run = velk::test::runShell("cd " + dir + " && cobc -x -fbinary-size=2-4-8 -o lengths lengths.cob && ./lengths");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    std::vector<long> lengths;
    std::istringstream out(run.out);
    for (long n; out >> n;) lengths.push_back(n);
    return lengths;
}

struct Book {
    const char* point;
    std::string text;
    int optCsv, optQuote;
    std::vector<std::string> lines;  // the pattern file, line by line
    long result;
    std::vector<std::string> keywords;  // j2s prefix of each line, when several
    std::string records;                // EBCDIC
    std::string csv;
};

TEST(CopyBooks, PatternResultAndRecords) {
    const Book books[] = {
        {"1: an area redefined twice, one line per layout, each 16 bytes",
         cards({"01  PAY-REC.",
                "    05  PAY-TYPE            PIC X.",
                "        88  PAY-CASH        VALUE 'C'.",
                "    05  PAY-DATA            PIC X(8).",
                "    05  PAY-CARD REDEFINES PAY-DATA.",
                "        10  CARD-NO         PIC 9(6).",
                "        10  FILLER          PIC X(2).",
                "    05  PAY-BANK REDEFINES PAY-DATA.",
                "        10  BANK-CD         PIC 9(4).",
                "        10  BANK-AMT        PIC S9(5) COMP-3.",
                "    05  PAY-AMT             PIC S9(5)V99 VALUE ZERO."}),
         1, 1,
         {"\"X\",\"XXXXXXXX\",SSSSS.SS", "\"X\",999999,\"XX\",SSSSS.SS",
          "\"X\",9999,CCCCC,\"X\",SSSSS.SS"},
         16, {"1:C:", "1:K:", "1:B:"},
         ebcdic("CABCDEFGH") + zoned("0012345", '+') + ebcdic("K123456ZZ") + zoned("0000100", '-') +
             ebcdic("B1234") + std::string("\x01\x23\x4C", 3) + ebcdic(" ") + zoned("9999999", '+'),
         "\"C\",\"ABCDEFGH\",+00123.45\r\n\"K\",123456,\"ZZ\",-00001.00\r\n"
         "\"B\",1234,+01234,\" \",+99999.99\r\n"},
        {"2: two 01 records, a line each",
         cards({"01  HDR-REC.",
                "    05  H-TYPE              PIC X VALUE 'H'.",
                "    05  H-DATE              PIC 9(8).",
                "01  DTL-REC.",
                "    05  D-TYPE              PIC X VALUE 'D'.",
                "    05  D-ITEM              PIC X(5).",
                "    05  D-QTY               PIC S9(4)."}),
         1, 0, {"X,99999999", "X,XXXXX,SSSS"}, 10, {"1:H:", "1:D:"},
         ebcdic("H20240401DPEN01") + zoned("0012", '+'), "H,20240401\r\nD,PEN01,+0012\r\n"},
        {"3: 77 and 66 entries take no room",
         cards({"77  WS-COUNT                PIC 9(4) VALUE ZERO.",
                "01  CUST-REC.",
                "    05  CUST-ID             PIC 9(5).",
                "    05  CUST-NAME           PIC X(10).",
                "66  CUST-KEY RENAMES CUST-ID.",
                "77  WS-FLAG                 PIC X VALUE 'N'.",
                "    88  WS-DONE             VALUE 'Y'."}),
         1, 1, {"99999,\"XXXXXXXXXX\""}, 15, {}, ebcdic("00042YAMADA    "),
         "00042,\"YAMADA    \"\r\n"},
        {"5, 11: binary items by their digits; adjacent runs kept apart",
         cards({"01  ACCT-REC.",
                "    05  BAL                 PIC S9(7)V99 COMP.",
                "    05  CNT                 PIC 9(4) COMP-4.",
                "    05  ID1                 PIC S9(4) BINARY.",
                "    05  ID2                 PIC S9(4) USAGE IS COMPUTATIONAL-4.",
                "    05  BIG                 PIC S9(15) COMPUTATIONAL.",
                "    05  TOT                 PIC S9(5)V99 COMP-3.",
                "    05  TOT2                PIC S9(3) COMP-3."}),
         0, 0, {"BBBBBBB.BBUUUUBBBB BBBB BBBBBBBBBBBBBBBCCCCC.CC CCC"}, 24, {},
         std::string("\xFF\xED\x29\x79\x27\x0F\xFF\xFF\x00\x29\x00\x00\x70\x48\x86\x0D\xDF\x79"
                     "\x12\x34\x56\x7C\x00\x5D", 24),
         "-0012345.679999-0001 +0041 +123456789012345+12345.67 -005\r\n"},
        {"6: a point inside a picture does not end the entry",
         cards({"01  RATE-REC.",
                "    05  RATE-CD             PIC X(2).",
                "    05  RATE-VAL            PIC 9(8).9(2).",
                "    05  RATE-END            PIC X."}),
         1, 0, {"XX,XXXXXXXXXXX,X"}, 14, {}, ebcdic("AB00001234.50Z"), "AB,00001234.50,Z\r\n"},
        {"7: edited pictures are text of their length",
         cards({"01  PRT-REC.",
                "    05  P-AMT               PIC +9(10).99.",
                "    05  P-TOT               PIC -ZZZ,ZZZ,ZZZ.ZZ.",
                "    05  P-BAL               PIC ZZ,ZZ9.99CR.",
                "    05  P-DT                PIC 99/99/99.",
                "    05  P-ST                PIC XXBXX.",
                "    05  P-CK                PIC $***9.99DB."}),
         1, 0,
         {"XXXXXXXXXXXXXX,XXXXXXXXXXXXXXX,XXXXXXXXXXX,XXXXXXXX,XXXXX,XXXXXXXXXX"}, 63, {},
         ebcdic("+0000012345.67-    123,456.7812,345.67CR24/04/01AB CD$***1.00DB"),
         "+0000012345.67,-    123,456.78,12,345.67CR,24/04/01,AB CD,$***1.00DB\r\n"},
        {"9: columns 73-80 are no part of the entry",
         cards({"01  ORD-REC.",
                "    05  ORD-NO              PIC 9(6).",
                "    05  ORD-QTY             PIC S9(3)",
                "                            COMP-3.",
                "    05  ORD-NOTE            PIC X(10)."},
               "ORD."),
         0, 0, {"999999CCCXXXXXXXXXX"}, 18, {},
         ebcdic("000123") + std::string("\x01\x2D", 2) + ebcdic("NOTE      "), "000123-012NOTE      \r\n"},
        {"10: an end-of-file mark after the last line",
         cards({"01  R.", "    05  A                   PIC X(3).", "    05  B                   PIC 9(2)."}) +
             "\x1a",
         1, 0, {"XXX,99"}, 5, {}, ebcdic("ABC12"), "ABC,12\r\n"},
    };
    for (const Book& book : books) {
        SCOPED_TRACE(book.point);
        const auto mkp = velk::test::runOnFile(
            {"mkp", "1", std::to_string(book.optCsv), std::to_string(book.optQuote)}, book.text);
        std::string expected, pattern;
        for (std::size_t i = 0; i < book.lines.size(); ++i) {
            expected += book.lines[i] + "\n";
            pattern += (book.keywords.empty() ? "" : book.keywords[i]) + book.lines[i] + "\n";
        }
        EXPECT_EQ(mkp.out, "");
        EXPECT_EQ(mkp.err, velk::test::exitLine(book.result));
        ASSERT_EQ(mkp.output, expected);
        const auto csv = velk::test::runOnFile({"j2s", "0", "3", "1"}, book.records, pattern);
        EXPECT_EQ(csv.status, 0) << csv.out;
        EXPECT_EQ(csv.output, book.csv);
        if (!haveCobol()) continue;  // BinaryRecordsWrittenByGnuCobol says it is missing
        // Every layout of a record has the record's length, as GnuCOBOL allocates it.
        std::vector<long> layouts;
        for (const std::string& line : book.lines) {
            const long length = static_cast<long>(velk::mkp::recordLength(line));
            if (layouts.empty() || layouts.back() != length) layouts.push_back(length);
        }
        EXPECT_EQ(layouts, cobolLengths(book.text));
    }
}

// Binary items of every kind, filled by a GnuCOBOL program with MOVE and
// written to a file, then through mkp and j2s. GnuCOBOL stores COMP, COMP-4
// and BINARY big-endian as the mainframe does, but COMP-5 in the order of
// the machine it runs on: the program turns those bytes round. Compiled
// without truncation to the picture, so the last record holds values with
// more digits than their pictures, which binary storage can keep.
TEST(CopyBooks, BinaryRecordsWrittenByGnuCobol) {
    if (!haveCobol()) GTEST_SKIP() << "cobc (GnuCOBOL) is not installed";
    const struct {
        const char* clauses;  // after the item's name
        int bytes;
        bool native;          // COMP-5
        std::array<const char*, 3> values;   // MOVEd into the item, one per record
        std::array<const char*, 3> printed;  // the CSV field j2s writes
    } items[] = {
        {"PIC S9(4) COMP", 2, false, {"-1234", "0", "32767"}, {"-1234", "+0000", "+????"}},
        {"PIC 9(4) COMP-4", 2, false, {"9999", "7", "65535"}, {"9999", "0007", "????"}},
        {"COMP-5 PIC S9(3)V9", 2, true, {"-12.3", "0.5", "-3276.8"}, {"-012.3", "+000.5", "-???.?"}},
        {"PIC S9(7)V99 BINARY", 4, false, {"-12345.67", "1", "21474836.47"},
         {"-0012345.67", "+0000001.00", "+???????.??"}},
        {"PIC 9(9) USAGE COMPUTATIONAL-5", 4, true, {"123456789", "10281", "4294967295"},
         {"123456789", "000010281", "?????????"}},
        {"PIC S9(18) COMPUTATIONAL", 8, false, {"-999999999999999999", "-1", "123456789012345678"},
         {"-999999999999999999", "-000000000000000001", "+123456789012345678"}},
        {"PIC 9(10)V9(5) COMP-4", 8, false, {"1234567890.12345", "0.00001", "9999999999.99999"},
         {"1234567890.12345", "0000000000.00001", "9999999999.99999"}},
        {"PIC S9(2)V9(7) COMP-5", 4, true, {"-1.5", "99.9999999", "-214.7483648"},
         {"-01.5000000", "+99.9999999", "-??.???????"}},
        {"PIC S9(5)V99 COMP-3", 4, false, {"-123.45", "0", "99999.99"}, {"-00123.45", "+00000.00", "+99999.99"}},
    };
    std::vector<std::string> entries = {"01  BIN-REC."};
    std::string moves, csv;
    int offset = 1;
    for (std::size_t i = 0; i < std::size(items); ++i)
        entries.push_back("    05  F" + std::to_string(i + 1) + "  " + items[i].clauses + ".");
    for (int record = 0; record < 3; ++record) {
        offset = 1;
        for (std::size_t i = 0; i < std::size(items); ++i) {
            const std::string name = std::string("F").append(std::to_string(i + 1));
            moves += "           MOVE " + std::string(items[i].values[record]) + " TO " + name + ".\n";
            if (items[i].native) {
                const std::string at =
                    "BIN-REC(" + std::to_string(offset) + ":" + std::to_string(items[i].bytes) + ")";
                moves += "           MOVE FUNCTION REVERSE(" + at + ") TO " + at + ".\n";
            }
            offset += items[i].bytes;
            csv += std::string(i == 0 ? "" : ",") + items[i].printed[record];
        }
        moves += "           WRITE BIN-REC.\n";
        csv += "\r\n";
    }
    const int recordLength = offset - 1;
    const std::string dir = velk::test::makeTempDir();
    writeFile(dir + "/book.cpy", cards(entries));
    writeFile(dir + "/write.cob",
              "       IDENTIFICATION DIVISION.\n"
              "       PROGRAM-ID. WRITEBIN.\n"
              "       ENVIRONMENT DIVISION.\n"
              "       INPUT-OUTPUT SECTION.\n"
              "       FILE-CONTROL.\n"
              "           SELECT OUT-FILE ASSIGN TO \"records.dat\"\n"
              "               ORGANIZATION IS SEQUENTIAL.\n"
              "       DATA DIVISION.\n"
              "       FILE SECTION.\n"
              "       FD  OUT-FILE.\n"
              "       COPY \"book.cpy\".\n"
              "       PROCEDURE DIVISION.\n"
              "           OPEN OUTPUT OUT-FILE.\n" +
                  moves +
                  "           CLOSE OUT-FILE.\n"
                  "           STOP RUN.\n");
    const auto cobol =
        velk::test::runShell("cd " + dir + " && cobc -x -fbinary-size=2-4-8 -fnotrunc -o write write.cob && ./write");
    ASSERT_EQ(cobol.status, 0) << cobol.out << cobol.err;
    const std::string records = readFile(dir + "/records.dat");
    ASSERT_EQ(records.size(), 3u * static_cast<std::size_t>(recordLength));

    const auto mkp = velk::test::runOnFile({"mkp", "1", "1", "0"}, cards(entries));
    EXPECT_EQ(mkp.err, velk::test::exitLine(recordLength));
    EXPECT_EQ(mkp.output,
              "BBBB,UUUU,BBB.B,BBBBBBB.BB,UUUUUUUUU,BBBBBBBBBBBBBBBBBB,UUUUUUUUUU.UUUUU,BB.BBBBBBB,CCCCC.CC\n");
    const auto j2s = velk::test::runOnFile({"j2s", "1", "3", "1"}, records, mkp.output);
    EXPECT_EQ(j2s.status, 1) << j2s.out;  // result -1: the values too long for their pictures
    EXPECT_EQ(j2s.output, csv);
    // Each such value is logged at its first byte in the file: digits of the picture, offset in the record.
    std::string expectedLog;
    for (const auto& [digits, at] : {std::pair{4, 1}, {4, 3}, {4, 5}, {9, 7}, {9, 11}, {9, 31}}) {
        expectedLog += "BINARY 変換エラー(" + std::to_string(digits) + "桁を超える値/" +
                       std::to_string(2 * recordLength + at) + "バイト目)\n";
    }
    EXPECT_EQ(j2s.log, expectedLog);
}

}  // namespace
