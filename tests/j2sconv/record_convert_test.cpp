// Whole files under hand-made patterns: pattern choice, record boundaries,
// buffer growth, the error log and hard failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "j2sconv/record_choice.h"
#include "j2sconv/record_convert.h"
#include "support/run_velk.h"
#include "tblank/single_byte_tables.h"

namespace {

using namespace velk;
using namespace velk::j2s;

std::string ebcdic(const std::string& ascii) {
    std::string out;
    for (unsigned char c : ascii) out += static_cast<char>(a2eAscii[c]);
    return out;
}

RecordPattern pattern(const std::string& text, int sourceLength, int keywordPos = 0,
                      const std::string& keyword = "") {
    RecordPattern p;
    p.text = text;
    p.length = static_cast<std::int32_t>(text.size());
    p.sourceLength = sourceLength;
    p.keywordPos = keywordPos;
    p.hasKeyword = !keyword.empty();
    p.keyword = ebcdic(keyword);
    p.keywordLen = static_cast<std::int32_t>(keyword.size());
    return p;
}

struct Converted {
    std::int32_t rc;
    std::string out;
    std::string log;
};

Converted convert(const std::vector<RecordPattern>& patterns, const std::string& input,
                  int optSkip = 0, int trimFlags = 0, const std::string& outPath = "") {
    std::string dir = test::makeTempDir();
    test::writeFile(dir + "/in", input);
    std::string out = outPath.empty() ? dir + "/out" : outPath;
    Run run;
    run.optLog = 1;
    run.jefFile = openInput((dir + "/in").c_str());
    run.sjisFile = createOutput(out.c_str());
    run.log = std::tmpfile();
    run.jefSize = static_cast<std::int64_t>(input.size());
    run.addLineEnd = true;
    run.patterns.patterns = patterns;
    run.patterns.multiPattern = patterns.size() > 1;
    std::int32_t maxSource = 0, maxLength = 0;
    for (const RecordPattern& p : patterns) {
        maxSource = std::max(maxSource, p.sourceLength);
        maxLength = std::max(maxLength, p.length);
    }
    run.inBuf.resize(std::max(2 * maxSource, 1));
    run.outBuf.resize(2 * static_cast<std::size_t>(maxLength) + 2);
    Converted c;
    c.rc = convertRecords(run, 3, optSkip, trimFlags, maxSource);
    run.sjisFile.close();
    std::rewind(run.log);
    for (int ch; (ch = std::fgetc(run.log)) != EOF;) c.log += static_cast<char>(ch);
    std::fclose(run.log);
    if (outPath.empty()) c.out = test::readFile(out);
    return c;
}

// Large outputs: report where they part, not the whole text.
void expectSameBytes(const std::string& actual, const std::string& expected) {
    auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    EXPECT_TRUE(diff.first == actual.end() && diff.second == expected.end())
        << "sizes " << actual.size() << " and " << expected.size() << ", first difference at "
        << (diff.first - actual.begin());
}

TEST(RecordConvert, PatternChoiceByKeyword) {
    const std::vector<RecordPattern> two = {pattern("XX", 2, 1, "A"), pattern("XXXX", 4, 1, "B")};
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"AXBXXX", "AX\r\nBXXX\r\n"},        // the surplus read with AX is given back
        {"BXXXAX", "BXXX\r\nAX\r\n"},
        {"CXXXAX", "CXXX\r\nAX\r\n"},        // no keyword matches: the last pattern
    };
    for (const Case& c : cases) {
        Converted r = convert(two, ebcdic(c.in));
        EXPECT_EQ(r.rc, 2) << c.in;
        EXPECT_EQ(r.out, c.out) << c.in;
    }
}

TEST(RecordConvert, KeywordSearch) {
    PatternSet set;
    set.multiPattern = true;
    set.patterns = {pattern("XXX", 3, 2, "K"), pattern("CXX", 3, 2, "K"), pattern("XXX", 3, 1, "Z")};
    struct Case {
        std::string head;
        bool skipShift;
        std::size_t chosen;
    };
    auto shifted = [](const std::string& text) {
        std::string s = "\x28";
        return s += ebcdic(text);
    };
    const Case cases[] = {
        {ebcdic("AK"), true, 0},
        {shifted("AK"), true, 0},    // a shift code moves the keyword right
        {shifted("AK"), false, 2},   // unless shift codes are data
        {shifted("K"), true, 1},     // not under a packed letter
        {ebcdic("A"), true, 2},              // a short head does not match
    };
    for (const Case& c : cases) {
        EXPECT_EQ(choosePattern(set, {reinterpret_cast<const std::uint8_t*>(c.head.data()),
                                      c.head.size()},
                                c.skipShift),
                  c.chosen);
    }
}

TEST(RecordConvert, ShiftCodesSkippedOrKeptAndLogged) {
    const std::string in = "\xC1\x28\xC2\x29\xC3\xC4\xC5";
    Converted skip = convert({pattern("XXXXX", 5)}, in, 0);
    EXPECT_EQ(skip.rc, 1);
    EXPECT_EQ(skip.out, "ABCDE\r\n");
    EXPECT_EQ(skip.log, "");

    Converted keep = convert({pattern("XXXXX", 5)}, in, 1);
    EXPECT_EQ(keep.rc, -1);
    EXPECT_EQ(keep.out, "A B C\r\nDEXXX\r\n");
    EXPECT_EQ(keep.log,
              "EBCDIC->JIS 変換エラー(EBCDIC=0x28/2バイト目)\n"
              "EBCDIC->JIS 変換エラー(EBCDIC=0x29/4バイト目)\n");

    // Positions count from the start of the file, skipped shift codes included.
    Converted later = convert({pattern("XNN", 3)}, std::string("\xC1\xB0\xA1\x28\x00\xA1\xA0", 7));
    EXPECT_EQ(later.rc, -1);
    EXPECT_EQ(later.log,
              "EBCDIC->JIS 変換エラー(EBCDIC=0x00/5バイト目)\n"
              "JEF->シフトJIS 変換エラー(JEF=0xa1a0/6バイト目)\n");
}

TEST(RecordConvert, ManyShiftCodesGrowTheInput) {
    std::string in = "\xC1" + std::string(600000, '\x28') + "\xC2\xC3";
    Converted r = convert({pattern("XX", 2)}, in);
    EXPECT_EQ(r.rc, 2);
    expectSameBytes(r.out, "AB\r\nCX\r\n");
}

TEST(RecordConvert, ManyRecordsAcrossReadChunks) {
    // A full-width blank and a kanji, text, a zoned and a packed amount; the
    // file spans several read chunks and ends in a cut record.
    const RecordPattern p = pattern("\"NNNN\",XX,SSSS,CCC.CC", 13);
    std::string in, expected;
    const int records = 40000;
    for (int i = 0; i < records; ++i) {
        char zoned[5], packed[7];
        std::snprintf(zoned, sizeof zoned, "%04d", i % 10000);
        std::snprintf(packed, sizeof packed, "%05d", i % 100000);
        in += "\xA1\xA1\xB0\xA1";
        in += "\x81";
        in += ebcdic(i % 2 ? " " : "Z");
        for (int k = 0; k < 4; ++k) {
            in += static_cast<char>((k == 3 && i % 3 == 0 ? 0xD0 : 0xF0) + zoned[k] - '0');
        }
        in += static_cast<char>((packed[0] - '0') << 4 | (packed[1] - '0'));
        in += static_cast<char>((packed[2] - '0') << 4 | (packed[3] - '0'));
        in += static_cast<char>((packed[4] - '0') << 4 | 0xC);
        expected += std::string("\"\x88\x9F\",a") + (i % 2 ? "" : "Z") + "," + (i % 3 == 0 ? "-" : "+") +
                    zoned + ",+" + std::string(packed, 3) + "." + std::string(packed + 3, 2) + "\r\n";
    }
    in += "\xA1\xA1\xB0";  // a last record cut inside the kanji
    expected += "\"\",XX,SSSS,CCC.CC\r\n";  // both kanji become full-width blanks
    Converted r = convert({p}, in, 0, 1);
    EXPECT_EQ(r.rc, -1);  // the lone lead byte at the end
    expectSameBytes(r.out, expected);
    EXPECT_EQ(r.log, "JEF->シフトJIS 変換エラー(JEF=0xb0/" + std::to_string(in.size()) + "バイト目)\n");
}

TEST(RecordConvert, NothingToReadAndHardFailures) {
    Converted none = convert({pattern(",.\"", 0)}, ebcdic("ABC"));
    EXPECT_EQ(none.rc, 0);
    EXPECT_EQ(none.out, "");

    // Records before the failing one stay in the output.
    Converted bad = convert({pattern("XX", 2, 1, "A"), pattern("X" + std::string(32, 'C'), 17, 1, "B")},
                            ebcdic("AXBX"));
    EXPECT_EQ(bad.rc, -2);
    EXPECT_EQ(bad.out, "AX\r\n");

    Converted empty = convert({pattern("XX", 2, 1, "A"), pattern(",", 0, 1, "B")}, ebcdic("AXB"));
    EXPECT_EQ(empty.rc, -2);
    EXPECT_EQ(empty.out, "AX\r\n");

    EXPECT_EQ(convert({pattern("XX", 2)}, ebcdic("ABCD"), 0, 0, "/dev/full").rc, -25);
}

}  // namespace
