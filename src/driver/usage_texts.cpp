// Usage screens. Compiled to Shift-JIS bytes like every other message.
#include "driver/usage_texts.h"

namespace velk {

// The lines that several screens share, joined at compile time.
#define OPT_LOG \
    " optLog   : エラーログ出力の有無\n" \
    "              1:出力する\n" \
    "              0:出力しない\n"

#define S2J_OPTIONS \
    " optConv  : 変換オプション\n" \
    "              1:EBCDIC-カナ(英小文字は変換エラーとなる)\n" \
    "              2:EBCDIC-カナ(英小文字は英大文字に置き換えてから変換する)\n" \
    "              3:EBCDIC-英小文字\n" \
    "              4:EBCDIC-ASCII\n" \
    " optOther : その他オプション\n" \
    "              1:JEFの前後にシフトコードを挿入する\n" \
    "              0:JEFの前後にシフトコードを挿入しない\n"

#define J2S_OPTIONS \
    " optConv  : 変換オプション\n" \
    "              1:EBCDIC-カナ\n" \
    "              2:EBCDIC-英小文字\n" \
    "              3:EBCDIC-ASCII\n" \
    " recSize  : 改行コードを付加する場合にレコード長を指定する\n" \
    "            [付加しない場合は 0 を指定する]\n" \
    " jefPath  : JEFファイルのパス名\n"

#define J2S_PATTERN_OPTIONS \
    " patnPath : パターンファイルのパス名\n" \
    "            [使用しない場合は指定しない]\n" \
    " optSkip  : シフトコードを読みとばさない\n" \
    "              1:読みとばさない\n" \
    "              0:読みとばす\n" \
    " optTrim  : トリミングの有無\n" \
    "              0:トリミングしない\n" \
    "              1:TRIM (全項目を対象)\n" \
    "              2:LTRIM(    〃      )\n"

const char kS2jUsage[] =
    "***********************************************\n"
    "*** シフトJISコード から JEFコード への変換 ***\n"
    "***********************************************\n"
    "\n"
    ">velk s2j optLog optConv optOther sjisPath jefPath\n"
    "      ~~~\n"
    OPT_LOG
    S2J_OPTIONS
    " sjisPath : SJISファイルのパス名\n"
    " jefPath  : JEFファイルのパス名\n";

const char kJ2sUsage[] =
    "***********************************************\n"
    "*** JEFコード から シフトJISコード への変換 ***\n"
    "***********************************************\n"
    "\n"
    ">velk j2s optLog optConv recSize jefPath sjisPath [patnPath] [optSkip] [optTrim]\n"
    "      ~~~\n"
    OPT_LOG
    J2S_OPTIONS
    " sjisPath : SJISファイルのパス名\n"
    J2S_PATTERN_OPTIONS
    "              3:LTRIM(    〃      )\n"
    "              さらに詳細な説明はmanual.txtを参照\n";

const char kMkpUsage[] =
    "******************************\n"
    "*** レコードパターンの作成 ***\n"
    "******************************\n"
    "\n"
    ">velk mkp optLog optCsv optQuote copyPath ptnPath\n"
    "      ~~~\n"
    OPT_LOG
    " optCsv   : CSVオプション\n"
    "              0:セパレータを付加しない\n"
    "              1:カンマをセパレータとする\n"
    "              2:スペースをセパレータとする\n"
    " optQuote : 引用符オプション\n"
    "              0:文字列項目に引用符を付けない\n"
    "              1:引用符を付ける\n"
    " copyPath : コピー句ファイルのパス名\n"
    " patnPath : パターンファイルのパス名\n";

const char kU2jUsage[] =
    "*******************************************\n"
    "*** UTF-8コード から JEFコード への変換 ***\n"
    "*******************************************\n"
    "\n"
    ">velk u2j optLog optConv optOther utf8Path jefPath\n"
    "      ~~~\n"
    OPT_LOG
    S2J_OPTIONS
    " utf8Path : UTF-8ファイルのパス名\n"
    " jefPath  : JEFファイルのパス名\n";

const char kJ2uUsage[] =
    "*******************************************\n"
    "*** JEFコード から UTF-8コード への変換 ***\n"
    "*******************************************\n"
    "\n"
    ">velk j2u optLog optConv recSize jefPath utf8Path [patnPath] [optSkip] [optTrim]\n"
    "      ~~~\n"
    OPT_LOG
    J2S_OPTIONS
    " utf8Path : UTF-8ファイルのパス名\n"
    J2S_PATTERN_OPTIONS
    "              3:RTRIM(    〃      )\n"
    "              さらに詳細な説明はmanual.txtを参照\n";

}  // namespace velk
