#include "driver/command_line.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "j2sconv/trim_fields.h"

namespace velk {

namespace {

// First character a digit, then the leading run of digits as atoi reads it.
// Runs too long for 32 bits are refused rather than given an undefined value.
bool readNumber(const char* arg, std::int32_t& out) {
    if (arg[0] < '0' || arg[0] > '9') return false;
    std::int64_t value = 0;
    for (const char* p = arg; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX) {
            out = INT32_MAX;
            return false;
        }
    }
    out = static_cast<std::int32_t>(value);
    return true;
}

bool oneOf(std::int32_t v, std::initializer_list<std::int32_t> allowed) {
    for (std::int32_t a : allowed)
        if (v == a) return true;
    return false;
}

bool readPath(const char* arg, std::string& out) {
    if (std::strlen(arg) > kMaxPathLength) return false;
    out = arg;
    return true;
}

[[gnu::format(printf, 2, 3)]] void setReason(CommandLine& cl, const char* format, ...) {
    char text[kMaxPathLength + 256];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    cl.reason = text;
}

// One numeric argument: its first character a digit and its value among
// `allowed` (empty: any value of 0 or more). `shown` lists the values in the
// reason line.
bool number(CommandLine& cl, const char* name, const char* arg, std::int32_t& out,
            std::initializer_list<std::int32_t> allowed, const char* shown) {
    if (readNumber(arg, out) && (allowed.size() == 0 || oneOf(out, allowed))) return true;
    setReason(cl, "%sの値[%s]が正しくありません(指定できる値=%s)\n", name, arg, shown);
    return false;
}

bool path(CommandLine& cl, const char* name, const char* arg, std::string& out) {
    if (readPath(arg, out)) return true;
    setReason(cl, "%sのパス名が長すぎます(%zuバイト/上限=%zuバイト)[%s]\n", name, std::strlen(arg),
              kMaxPathLength, arg);
    return false;
}

bool checkS2j(const char* const* argv, CommandLine& cl) {
    return number(cl, "optConv", argv[3], cl.optConv, {1, 2, 3, 4, 9}, "1,2,3,4,9") &&
           number(cl, "optOther", argv[4], cl.optOther, {0, 1}, "0,1") &&
           path(cl, cl.command == Command::U2j ? "utf8Path" : "sjisPath", argv[5], cl.sjisPath) &&
           path(cl, "jefPath", argv[6], cl.jefPath);
}

bool checkJ2s(int argc, const char* const* argv, CommandLine& cl) {
    if (!(number(cl, "optConv", argv[3], cl.optConv, {1, 2, 3}, "1,2,3") &&
          number(cl, "recSize", argv[4], cl.recSize, {}, "0以上の整数") &&
          path(cl, "jefPath", argv[5], cl.jefPath) &&
          path(cl, cl.command == Command::J2u ? "utf8Path" : "sjisPath", argv[6], cl.sjisPath)))
        return false;
    if (argc < 8) {
        cl.patnPath = kNoPattern;
        return true;
    }
    if (!path(cl, "patnPath", argv[7], cl.patnPath)) return false;
    if (argc >= 9 && !number(cl, "optSkip", argv[8], cl.optSkip, {0, 1}, "0,1")) return false;
    if (argc >= 10) {
        std::int32_t optTrim = 0;
        const bool read = readNumber(argv[9], optTrim);
        cl.trimFlags = read ? j2s::trimFlagsFor(optTrim) : -1;
        if (cl.trimFlags < 0) {
            cl.trimFlags = 0;
            setReason(cl, "%sの値[%s]が正しくありません(指定できる値=%s)\n", "optTrim", argv[9],
                      "0,1,2,3,4,5,6,7,8");
            return false;
        }
    }
    return true;
}

bool checkMkp(const char* const* argv, CommandLine& cl) {
    return number(cl, "optCsv", argv[3], cl.optCsv, {0, 1, 2}, "0,1,2") &&
           number(cl, "optQuote", argv[4], cl.optQuote, {0, 1}, "0,1") &&
           path(cl, "copyPath", argv[5], cl.copyPath) && path(cl, "ptnPath", argv[6], cl.ptnPath);
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine cl;
    cl.rejected = true;
    if (argc < 2) {
        setReason(cl, "コマンドが指定されていません\n");
        return cl;
    }
    const char* word = argv[1];
    const bool help = std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
    const bool version = std::strcmp(word, "--version") == 0 || std::strcmp(word, "-V") == 0;
    if (help || version) {
        cl.command = help ? Command::Help : Command::Version;
        cl.rejected = false;
        cl.toStdout = true;
        return cl;
    }
    if (std::strcmp(word, "s2j") == 0) {
        cl.command = Command::S2j;
    } else if (std::strcmp(word, "j2s") == 0) {
        cl.command = Command::J2s;
    } else if (std::strcmp(word, "mkp") == 0) {
        cl.command = Command::Mkp;
    } else if (std::strcmp(word, "u2j") == 0) {
        cl.command = Command::U2j;
    } else if (std::strcmp(word, "j2u") == 0) {
        cl.command = Command::J2u;
    } else if (std::strcmp(word, "v") == 0) {
        cl.command = Command::Version;
        cl.rejected = false;
        return cl;
    } else {
        setReason(cl, "[%s]は不明なコマンドです\n", word);
        return cl;
    }
    cl.usageWord = cl.command == Command::S2j   ? "s2j"
                   : cl.command == Command::J2s ? "j2s"
                   : cl.command == Command::U2j ? "u2j"
                   : cl.command == Command::J2u ? "j2u"
                                                : "mkp";
    if (argc < 7) {
        setReason(cl, "%sのパラメータが足りません(指定=%d個/必要=5個)\n", word, argc - 2);
        return cl;
    }
    cl.optLogRead = argv[2][0] >= '0' && argv[2][0] <= '9';
    if (!number(cl, "optLog", argv[2], cl.optLog, {0, 1}, "0,1")) return cl;
    // u2j takes exactly s2j's arguments, j2u those of j2s.
    bool ok = cl.command == Command::S2j || cl.command == Command::U2j ? checkS2j(argv, cl)
              : cl.command == Command::J2s || cl.command == Command::J2u ? checkJ2s(argc, argv, cl)
                                           : checkMkp(argv, cl);
    cl.rejected = !ok;
    return cl;
}

}  // namespace velk
