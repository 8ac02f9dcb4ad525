// "-" for standard input and output, through real pipes: every converter
// gives the same data, result and messages through a pipe as between files,
// its messages never mix into the data, and an input it cannot hold in full
// never makes it allocate more than the input. The binary runs in a session
// of its own, without a terminal, from a shell with a bounded pipeline.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_velk.h"

namespace {

using velk::test::exitLine;
using velk::test::makeTempDir;
using velk::test::readFile;
using velk::test::runShell;
using velk::test::writeFile;

std::string withoutLogNotice(std::string err) {
    const std::string tail = "に変換エラーのログを出力しました。\n\n";
    if (const auto at = err.find(tail); at != std::string::npos && err.rfind("\n\n", at) != std::string::npos)
        err.erase(err.rfind("\n\n", at), at + tail.size() - err.rfind("\n\n", at));
    return err;
}

TEST(Pipes, StandardStreamsGiveWhatFilesGive) {
    std::string kanjiRun = "\x28";  // kanji across the 16,380-byte blocks of j2s
    for (int i = 0; i < 20000; ++i) kanjiRun += "\xA4\xA2";
    std::string records;  // 5 bytes: 3 EBCDIC letters and one kanji
    for (int i = 0; i < 5000; ++i) records += "\xC1\xC2\xC3\xA4\xA2";
    const std::string aaa(16379, 'A');
    const struct {
        std::string command;  // before the paths
        std::string input;
        std::string pattern;  // "" for none
        int status;
    } cases[] = {
        {"j2s 1 3 0", kanjiRun + "\x29\xC1", "", 0},
        // A pipe that fills the first read exactly: its end is seen only later,
        // and the last record ends on a lone lead byte.
        {"j2s 1 3 8", std::string(262136, '\xC1') + "\x28\xA4\xA2\xA4\xA2\xA4\xA2\xA4", "", 1},
        {"j2s 1 3 1", records, "XXX,NN\n", 0},
        // The end of the stream decides a first byte at a block's end.
        {"s2j 1 1 0", aaa + "\x88\x9F", "", 0},
        {"s2j 1 1 0", aaa + "\x88", "", 1},
        {"u2j 1 1 0", "\xEF\xBB\xBF\xE3\x82\xA2\xE5\xB1\xB1\n\xFF", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command + " on " + std::to_string(c.input.size()) + " bytes");
        const std::string dir = makeTempDir();
        writeFile(dir + "/in", c.input);
        std::string pattern;
        if (!c.pattern.empty()) {
            writeFile(dir + "/p.ptn", c.pattern);
            pattern = " " + dir + "/p.ptn";
        }
        const std::string velk = "VELK_LOG_DIR=" + dir + " \"$VELK\" " + c.command;
        const auto files = runShell(velk + " " + dir + "/in " + dir + "/out" + pattern);
        const std::string output = readFile(dir + "/out");
        ASSERT_EQ(files.status, c.status) << files.out;

        // Standard output a pipe too; the status is velk's, not cat's.
        const auto piped = runShell("cat " + dir + "/in | { " + velk + " - -" + pattern + "; echo $? >" + dir +
                                    "/rc; } | cat; exit $(cat " + dir + "/rc)");
        EXPECT_EQ(piped.status, c.status);
        // The data alone (compared whole: a diff of large data takes minutes).
        EXPECT_TRUE(piped.out == output) << piped.out.size() << " bytes, not " << output.size();
        // The messages, on standard error, naming standard input.
        std::string messages = files.out;
        for (std::size_t at; (at = messages.find(dir + "/in")) != std::string::npos;)
            messages.replace(at, dir.size() + 3, "標準入力");
        EXPECT_EQ(withoutLogNotice(piped.err), messages + withoutLogNotice(files.err));

        const auto named = runShell("cat " + dir + "/in | " + velk + " /dev/stdin " + dir + "/out2" + pattern);
        EXPECT_EQ(named.status, c.status);
        EXPECT_TRUE(readFile(dir + "/out2") == output);
    }
}

TEST(Pipes, StandardStreamFailuresAndMessagesBesideData) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/x.jef", "\xC1");
    const std::string velk = "VELK_LOG_DIR=" + dir + " \"$VELK\" ";
    const struct {
        std::string script;
        std::string out, err;  // err: before the exit line
        long result;
    } cases[] = {
        // Messages go to standard output, unless the data goes there.
        {"printf '' | " + velk + "j2s 1 3 0 - -", "", "[標準入力]のファイルサイズが 0 です\n", -16},
        {"printf '' | " + velk + "s2j 1 1 0 - " + dir + "/e.jef",
         "[標準入力]のファイルサイズが 0 です\n", "", -15},
        {velk + "j2s 1 3 0 - " + dir + "/o.txt <&-",
         "[標準入力]のオープンに失敗しました(原因=Bad file descriptor)\n", "", -11},
        {velk + "u2j 1 1 0 - - < " + dir, "",
         "[標準入力]のオープンに失敗しました(原因=Is a directory)\n", -10},
        // A file opened while standard output is closed never stands in for it.
        {"printf A | " + velk + "s2j 1 1 0 - - >&-", "",
         "[標準出力]のオープンに失敗しました(原因=Bad file descriptor)\n", -11},
        {velk + "j2s 1 3 0 " + dir + "/x.jef - >&-", "",
         "[標準出力]のオープンに失敗しました(原因=Bad file descriptor)\n", -10},
        {"printf A | " + velk + "s2j 1 1 0 - - >/dev/full", "",
         "(標準出力)の書き込みでエラーが発生しました(原因=No space left on device)\n", -26},
        {velk + "j2s 1 3 0 - " + dir + "/x.jef < " + dir + "/x.jef",
         "[" + dir + "/x.jef]のオープンに失敗しました(原因=入力ファイルと同じファイルです)\n", "", -10},
        // Error lines whose log cannot be created go to standard error.
        {"printf '\\301\\000' | VELK_LOG_DIR=" + dir + "/none \"$VELK\" j2s 1 3 0 - -", "A ",
         "EBCDIC->JIS 変換エラー(EBCDIC=0x00/2バイト目)\n", -1},
        {"printf 'a' | " + velk + "s2j 1 1 0 - -", "@",
         "JIS->EBCDIC 変換エラー(JIS=0x61,行=1,桁=1)\n", -1},
        // Standard input is read from where it stands in a regular file.
        {"(head -c 1 >/dev/null; " + velk + "j2s 1 3 1 - -) < " + dir + "/x.jef", "",
         "[標準入力]のファイルサイズが 0 です\n", -16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const auto r = runShell(c.script);
        EXPECT_EQ(r.out, c.out);
        std::string err = r.err;
        const std::string noLog = "]のオープンに失敗しました(原因=No such file or directory)\n";
        if (const auto at = err.find(noLog); at != std::string::npos && err.find(dir + "/none/") == 1)
            err.erase(0, at + noLog.size());  // the log that could not be made, named by its time
        EXPECT_EQ(err, c.err + exitLine(c.result));
    }
    EXPECT_EQ(readFile(dir + "/x.jef"), "\xC1");
    EXPECT_TRUE(velk::test::fileExists(dir + "/e.jef"));  // s2j creates its output first
}

TEST(Pipes, ARecordLengthBeyondTheInputTakesOnlyWhatTheInputHolds) {
    const std::string dir = makeTempDir();
    writeFile(dir + "/small.jef", std::string(188, '\xC1'));
    const std::string expected = std::string(188, 'A') + "\r\n";
    // A regression allocates twice the record length: gigabytes. (A file
    // takes the same path, with buffer sizes the j2s loop tests pin.)
    constexpr long kLimitKb = 256 * 1024;
    const auto piped = runShell("cat " + dir + "/small.jef | \"$VELK\" j2s 0 3 2000000000 - -");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, expected);
    EXPECT_LT(piped.maxRssKb, kLimitKb);
}

}  // namespace
