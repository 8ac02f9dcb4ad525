// A hand-written pattern over records of kana text, kanji, a signed zoned
// and a packed amount, converted through the binary to the CSV a user expects.
#include <gtest/gtest.h>

#include <string>

#include "support/run_velk.h"

namespace {

using velk::test::makeTempDir;
using velk::test::readFile;
using velk::test::runVelk;
using velk::test::writeFile;

TEST(RecordCsv, KanaKanjiZonedAndPackedToCsv) {
    std::string dir = makeTempDir();
    // Text and kanji of both records, made mainframe-side by s2j (kana tables, no shift codes).
    writeFile(dir + "/text.txt", "ﾔﾏﾀﾞ ﾀﾛｳ  山田太郎\r\nｽｽﾞｷ      鈴木　　\r\n");
    auto s2j = runVelk({"s2j", "0", "1", "0", dir + "/text.txt", dir + "/text.jef"});
    ASSERT_EQ(s2j.status, 0);
    std::string text = readFile(dir + "/text.jef");
    ASSERT_EQ(text.size(), 36u);

    std::string data = text.substr(0, 18) + "\xF1\xF2\xF3\xF4\xF5\xF6\xC7" + "\x12\x34\x56\x7D" +
                       text.substr(18, 18) + "\xF0\xF0\xF1\xF0\xF0\xF5\xD0" +
                       std::string("\x00\x00\x04\x2C", 4);
    writeFile(dir + "/data.jef", data);
    writeFile(dir + "/rec.ptn",
              "# name, name in kanji, balance, change\n"
              "\"xxxxxxxxxx\",\"NNNNNNNN\",SSSSS.SS,CCCCCCC\n");

    auto j2s = runVelk({"j2s", "1", "1", "1", dir + "/data.jef", dir + "/out.csv", dir + "/rec.ptn",
                        "0", "1"});
    EXPECT_EQ(j2s.status, 0) << j2s.out;
    EXPECT_EQ(readFile(dir + "/out.csv"),
              "\"ﾔﾏﾀﾞ ﾀﾛｳ\",\"山田太郎\",+12345.67,-1234567\r\n"
              "\"ｽｽﾞｷ\",\"鈴木\",-00100.50,+0000042\r\n");
}

}  // namespace
