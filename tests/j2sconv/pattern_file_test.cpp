// Reading pattern files: refusals with their messages, and what a good file loads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "j2sconv/pattern_file.h"
#include "j2sconv/run_j2s.h"
#include "mkpatn/pattern_writer.h"
#include "support/run_velk.h"

namespace {

struct Loaded {
    std::int32_t rc;
    std::string out;
    velk::j2s::PatternSet patterns;
};

Loaded load(const std::string& content, int optConv = 3, int optLog = 1) {
    const std::string path = velk::test::makeTempDir() + "/p.ptn";
    velk::test::writeFile(path, content);
    Loaded l;
    testing::internal::CaptureStdout();
    l.rc = velk::j2s::loadPatternFile(optLog, velk::j2s::decodeOptions(optConv, 0, 0, 0),
                                      path.c_str(), l.patterns);
    l.out = testing::internal::GetCapturedStdout();
    return l;
}

TEST(PatternFile, RefusesBadLinesWithTheirMessage) {
    const std::string longKeyword = "1:" + std::string(256, 'K') + ":" + std::string(300, 'X');
    struct Case {
        std::string content;
        std::int32_t rc;
        std::string message;
    } cases[] = {
        {"#comment\nx\n\n", -17, "のファイルに有効なレコードパターンがありません\n"},
        {"12\n", -2, "レコードパターンの内容が数字のみです\n"},
        {"12X\n", -2, "レコードパターンに認識できない文字が使われています(桁位置=1)\n"},
        {"1:K:X?\n", -2, "レコードパターンに認識できない文字が使われています(桁位置=6)\n"},
        {"XX\tX\n", -2, "レコードパターンに認識できない文字が使われています(桁位置=3)\n"},
        {"1:KX\n", -2, "レコードパターンのキーワード指定に誤りがあります\n"},
        {longKeyword + "\n", -2, "レコードパターンのキーワード指定に誤りがあります\n"},
        {std::string(256, '1') + ":K:XX\n", -2, "レコードパターンのキーワード指定に誤りがあります\n"},
        {"1:K:\n", -2, "レコードパターンが指定されていません\n"},
        {"NNN\n", -2, "レコードパターンの[N]の文字数が 2 の倍数ではありません\n"},
        {"NN,N\n", -2, "レコードパターンの[N]の文字数が 2 の倍数ではありません\n"},
        {"3:ABCD:XXXX\n", -2,
         "レコードパターンの長さとキーワードの指定に矛盾があります(パターン長=4/キーワード位置+キーワード長=6)\n"},
        {"1:AB:XXXX\n1:CD:XXXXXXXX\nXX\n", -2,
         "レコードパターンが複数指定されていますがキーワードが指定されていません\n"},
        {"XX\n  \n", -2, "レコードパターンが複数指定されていますがキーワードが指定されていません\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 40));
        Loaded l = load(c.content);
        EXPECT_EQ(l.rc, c.rc);
        EXPECT_NE(l.out.find(c.message), std::string::npos) << l.out;
        EXPECT_EQ(load(c.content, 3, 0).out, "");  // silent under optLog 0
    }
}

TEST(PatternFile, LoadsPatternsUpperCasedWithEbcdicKeywordsAndSizes) {
    const std::string veryLong(100000, 'x');
    Loaded l = load("# layout\r\n3:ab:xxnnssc\r\n1:B1:X,CC.C,\"NN\"\r\n12:K:" + veryLong);
    ASSERT_EQ(l.rc, 0) << l.out;
    const auto& p = l.patterns.patterns;
    ASSERT_EQ(p.size(), 3u);
    EXPECT_TRUE(l.patterns.multiPattern);
    EXPECT_EQ(p[0].text, "XXNNSSC");  // CR dropped, upper-cased
    EXPECT_EQ(p[0].keyword, "\x81\x82");
    EXPECT_EQ(p[0].keywordPos, 3);
    EXPECT_EQ(p[0].keywordLen, 2);
    EXPECT_EQ(p[1].keyword, "\xC2\xF1");
    EXPECT_EQ(p[2].length, 100000);  // read whole, not cut into a second pattern
    const auto sizes = velk::j2s::summarisePatterns(l.patterns);
    EXPECT_EQ(sizes.maxPatternLength, 100000);
    EXPECT_EQ(sizes.maxSourceLength, 100000);

    // Under the kana table a lowercase letter has no EBCDIC code and ends the keyword.
    Loaded kana = load("1:a1:XX\n", 1);
    ASSERT_EQ(kana.rc, 0);
    EXPECT_EQ(kana.patterns.patterns[0].keywordLen, 0);
    EXPECT_FALSE(kana.patterns.multiPattern);
    EXPECT_EQ(load("1:a1:XX\n2:B:XX\n", 1).rc, -2);

    // Binary letters, written in either case.
    Loaded binary = load("x,bb.b,U\n");
    ASSERT_EQ(binary.rc, 0) << binary.out;
    EXPECT_EQ(binary.patterns.patterns[0].text, "X,BB.B,U");
    EXPECT_EQ(binary.patterns.patterns[0].sourceLength, 5);
}

// Source bytes of a pattern: the reader and the pattern maker count with one
// function, and differ only on a quote inside a packed run.
TEST(PatternFile, SourceLengths) {
    const std::pair<std::string, std::int64_t> cases[] = {
        {"SSS.SS", 5},      {"CCCCC", 3},    {"CCCC", 3},       {"CCPP", 4},         {"X,CC.C,\"NN\"", 5},
        {", .\"", 0},       {"U", 2},        {"BBBBB", 4},      {"BBBBBBB.BB", 4},   {"UUUUUUUUUU", 8},
        {std::string(18, 'B'), 8},           {"UUUUBBBB", 4},   {"BB BB,UU", 6},     {"CCCBBB", 4},
        {"BBBCCC9", 5},
    };
    for (const auto& [pattern, length] : cases) {
        EXPECT_EQ(velk::j2s::sourceLengthOf(pattern), length) << pattern;
        EXPECT_EQ(velk::mkp::recordLength(pattern + "\n999"), length) << pattern;  // the first line only
    }
    EXPECT_EQ(velk::j2s::sourceLengthOf("CC\"CC"), 3);
    EXPECT_EQ(velk::mkp::recordLength("CC\"CC"), 4);
}

}  // namespace
