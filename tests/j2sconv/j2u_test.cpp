// j2u against j2s and glibc's iconv: every JEF code through both, the
// characters code page 932 leaves undefined, the UTF-8 stage on its own, and
// the round trips through u2j.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "j2sconv/utf8_output.h"
#include "support/iconv_text.h"
#include "support/run_velk.h"
#include "tblknj/kanji_tables.h"
#include "tblutf/cp932.h"

namespace {

using velk::test::iconvAll;
using velk::test::runOnFile;
namespace j2s = velk::j2s;

bool haveCp932() { return iconvAll("UTF-8", "CP932", "A").has_value(); }

std::string stage(const std::string& sjis) {
    std::vector<std::uint8_t> out(j2s::utf8Capacity(sjis.size()));
    const std::size_t n = j2s::sjisToUtf8(
        {reinterpret_cast<const std::uint8_t*>(sjis.data()), sjis.size()}, out.data());
    return std::string(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
}

const std::string kIdeographicSpace = "\xE3\x80\x80";

std::string logLine(unsigned code, long at) {
    char line[96];
    std::snprintf(line, sizeof line, "JEF->シフトJIS 変換エラー(JEF=0x%04x/%ldバイト目)\n", code, at);
    return line;
}

TEST(J2uStage, EdgesOfTheWordLoop) {
    const struct {
        std::string sjis, utf8;
    } cases[] = {
        {"", ""},
        {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOPQ"},                        // words, then a tail
        {"ABCDEFG\x88\x9F", "ABCDEFG\xE4\xBA\x9C"},                         // pair across a word
        {"\xB1\xDF" "ABCDEFGH", "\xEF\xBD\xB1\xEF\xBE\x9F" "ABCDEFGH"},      // half-width kana
        {"\x81\x5F\x81\x60\x87\x90", "\xEF\xBC\xBC\xEF\xBD\x9E\xE2\x89\x92"},  // CP932's own choices
        {"\x83\x9F\x81\x8B", "\xCE\x91\xC2\xB0"},                           // two-byte UTF-8
        {"\xF0\x40", "\xEE\x80\x80"},                                       // user-defined area
        // A lead byte left alone (a trim took its second byte): U+FFFD, and
        // the next byte is read on its own.
        {"\x89\x0D\x0A", "\xEF\xBF\xBD\x0D\x0A"},
        {"ABCDEFGH\x89", "ABCDEFGH\xEF\xBF\xBD"},
        {"\x80\xA0\xFD", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) EXPECT_EQ(stage(c.sjis), c.utf8) << c.sjis;
}

// Random text of CP932 characters, ASCII in runs, against iconv.
TEST(J2uStage, RandomTextAsIconvConvertsIt) {
    if (!haveCp932()) GTEST_SKIP() << "no CP932 in iconv";
    const velk::cp932::Table& to = velk::cp932::toUnicode();
    std::vector<unsigned> defined;
    for (unsigned code = 0x80; code < 65536; ++code)
        if (to[code] != velk::cp932::kNone) defined.push_back(code);
    std::mt19937 rng(14);
    for (int round = 0; round < 200; ++round) {
        std::string sjis;
        while (sjis.size() < 600) {
            if (rng() % 2 == 0) {
                sjis.append(rng() % 20, static_cast<char>(0x20 + rng() % 0x5F));
            } else {
                const unsigned code = defined[rng() % defined.size()];
                if (code > 0xFF) sjis += static_cast<char>(code >> 8);
                sjis += static_cast<char>(code);
            }
        }
        ASSERT_EQ(stage(sjis), iconvAll("UTF-8", "CP932", sjis).value()) << round;
    }
}

// Every JEF code in one stream through j2s and j2u: j2u writes what iconv
// makes of j2s's output, and logs exactly the codes whose Shift-JIS CP932
// lacks besides those j2s logs. Then u2j takes the UTF-8 back to JEF.
TEST(J2u, EveryJefCodeAgainstJ2sAndIconv) {
    if (!haveCp932()) GTEST_SKIP() << "no CP932 in iconv";
    std::string jef = "\x28";
    std::vector<unsigned> codes;
    for (unsigned code = 0; code < 65536; ++code) {
        const unsigned lead = code >> 8;
        if (lead == 0x28 || lead == 0x29 || lead == 0x38) continue;
        codes.push_back(code);
        jef += static_cast<char>(lead);
        jef += static_cast<char>(code);
    }
    jef += "\x29";
    const auto sjisRun = runOnFile({"j2s", "1", "1", "0"}, jef);
    const auto utf8Run = runOnFile({"j2u", "1", "1", "0"}, jef);
    ASSERT_EQ(sjisRun.output.size(), 2 * codes.size());
    EXPECT_EQ(utf8Run.status, 1);

    std::string expected, expectedLog, expectedJef;
    int undefined = 0, sameJef = 0;
    const velk::cp932::Table& back = velk::cp932::fromUnicode();
    for (std::size_t k = 0; k < codes.size(); ++k) {
        const std::string unit = sjisRun.output.substr(2 * k, 2);
        const auto utf8 = iconvAll("UTF-8", "CP932", unit);
        const bool j2sUnmapped = (velk::jef2sjis[codes[k]][0] | velk::jef2sjis[codes[k]][1]) == 0;
        if (!utf8) ++undefined;
        if (!utf8 || j2sUnmapped) expectedLog += logLine(codes[k], static_cast<long>(2 + 2 * k));
        expected += utf8 ? *utf8 : kIdeographicSpace;
        // u2j: the code point back to Shift-JIS as iconv does it, then as s2j.
        const unsigned sjis = utf8 ? (static_cast<unsigned char>(unit[0]) << 8 |
                                      static_cast<unsigned char>(unit[1]))
                                   : 0x8140;
        const velk::KanjiEntry j = velk::sjis2jef[back[velk::cp932::toUnicode()[sjis]]];
        expectedJef += (j[0] | j[1]) == 0 ? std::string("\x40\x40") : std::string{char(j[0]), char(j[1])};
        if (utf8 && !j2sUnmapped && static_cast<unsigned>(j[0] << 8 | j[1]) == codes[k]) ++sameJef;
    }
    EXPECT_EQ(utf8Run.output, expected);
    EXPECT_EQ(utf8Run.log, expectedLog);
    EXPECT_GT(undefined, 9000);  // 0x8100 and the like, and JIS rows CP932 leaves empty

    const auto jefRun = runOnFile({"u2j", "0", "1", "1"}, utf8Run.output);
    EXPECT_EQ(jefRun.output, "\x28" + expectedJef + "\x29");
    EXPECT_GT(sameJef, 7000);  // the others share a Shift-JIS code with another JEF code
    std::printf("%d JEF codes come back unchanged through j2u and u2j; %d are CP932 errors\n",
                sameJef, undefined);
}

// Characters CP932 leaves undefined, and what stays as in j2s.
TEST(J2u, ConversionErrorsMessageSubstituteResult) {
    const std::string sp = kIdeographicSpace;
    const struct {
        std::vector<std::string> args;
        std::string jef, pattern;
        std::vector<std::string> more;
        std::string utf8, log;
        int status;
    } cases[] = {
        // JIS rows and cells CP932 leaves empty: 0x8540, 0x81AD, 0xEAA5 (every
        // code is checked against iconv above, where iconv knows CP932)
        {{"j2u", "1", "3", "0"}, "\xC1\x28\xA9\xA1\xA2\xAF\xF4\xA7", "", {}, "A" + sp + sp + sp,
         logLine(0xA9A1, 3) + logLine(0xA2AF, 5) + logLine(0xF4A7, 7), 1},
        // as in j2s: an unmapped EBCDIC byte, a lone lead byte at the end
        {{"j2u", "1", "3", "0"}, std::string("\x00\x28\xB0", 3), "", {}, "  ",
         "EBCDIC->JIS 変換エラー(EBCDIC=0x00/1バイト目)\nJEF->シフトJIS 変換エラー(JEF=0xb0/3バイト目)\n", 1},
        // records: positions as in j2s, the line end after the UTF-8
        {{"j2u", "1", "3", "2"}, "\xC1\xA2\x61\xC2\xB0\xA1", "XNNX,NN\n", {}, "A" + sp + "B,\xE4\xBA\x9C\r\n",
         logLine(0xA261, 2), 1},
        {{"j2u", "0", "3", "2"}, "\xC1\xA2\x61", "XNN\n", {}, "A" + sp + "\r\n", "", 1},
        // trimming works on the Shift-JIS form: full-width blanks go, and a
        // second byte 0x81 before '@' is not taken for one
        {{"j2u", "1", "1", "2"}, "\xA1\xA1\xB0\xA1\xA1\xA1\xB1\xE1\x7C", "NNNNNN,NNX\n", {"0", "1"},
         "\xE4\xBA\x9C,\xE5\xA0\xB0@\r\n", "", 0},
    };
    for (const auto& c : cases) {
        const auto r = runOnFile(c.args, c.jef, c.pattern, c.more);
        EXPECT_EQ(r.output, c.utf8) << c.jef;
        EXPECT_EQ(r.log, c.log) << c.jef;
        EXPECT_EQ(r.status, c.status) << c.jef;
    }
}

TEST(J2u, WriteFailureNamesTheUtf8File) {
    const std::string dir = velk::test::makeTempDir();
    velk::test::writeFile(dir + "/in", std::string(100000, '\xC1'));
    const auto r = velk::test::runVelk({"j2u", "1", "3", "0", dir + "/in", "/dev/full"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("UTF-8ファイルの書き込みでエラーが発生しました(原因="), std::string::npos) << r.out;
}

}  // namespace
