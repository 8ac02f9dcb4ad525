#include "driver/command_line.h"

#include <cstring>
#include <initializer_list>

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

bool checkS2j(const char* const* argv, CommandLine& cl) {
    return readNumber(argv[3], cl.optConv) && oneOf(cl.optConv, {1, 2, 3, 4, 9}) &&
           readNumber(argv[4], cl.optOther) && oneOf(cl.optOther, {0, 1}) &&
           readPath(argv[5], cl.sjisPath) && readPath(argv[6], cl.jefPath);
}

bool checkJ2s(int argc, const char* const* argv, CommandLine& cl) {
    if (!(readNumber(argv[3], cl.optConv) && oneOf(cl.optConv, {1, 2, 3}) &&
          readNumber(argv[4], cl.recSize) && readPath(argv[5], cl.jefPath) &&
          readPath(argv[6], cl.sjisPath)))
        return false;
    if (argc < 8) {
        cl.patnPath = kNoPattern;
        return true;
    }
    if (!readPath(argv[7], cl.patnPath)) return false;
    if (argc >= 9 && !(readNumber(argv[8], cl.optSkip) && oneOf(cl.optSkip, {0, 1}))) return false;
    if (argc >= 10) {
        std::int32_t optTrim = 0;
        if (!readNumber(argv[9], optTrim)) return false;
        cl.trimFlags = trimFlagsFor(optTrim);
        if (cl.trimFlags < 0) {
            cl.trimFlags = 0;
            return false;
        }
    }
    return true;
}

bool checkMkp(const char* const* argv, CommandLine& cl) {
    return readNumber(argv[3], cl.optCsv) && oneOf(cl.optCsv, {0, 1, 2}) &&
           readNumber(argv[4], cl.optQuote) && oneOf(cl.optQuote, {0, 1}) &&
           readPath(argv[5], cl.copyPath) && readPath(argv[6], cl.ptnPath);
}

}  // namespace

std::int32_t trimFlagsFor(std::int32_t optTrim) {
    static const std::int32_t flags[] = {0, 1, 2, 4, 6, 9, 10, 12, 14};
    if (optTrim < 0 || optTrim > 8) return -1;
    return flags[optTrim];
}

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine cl;
    cl.rejected = true;
    if (argc < 2) return cl;
    const char* word = argv[1];
    if (std::strcmp(word, "s2j") == 0) {
        cl.command = Command::S2j;
    } else if (std::strcmp(word, "j2s") == 0) {
        cl.command = Command::J2s;
    } else if (std::strcmp(word, "mkp") == 0) {
        cl.command = Command::Mkp;
    } else if (std::strcmp(word, "u2j") == 0) {
        cl.command = Command::U2j;
    } else if (std::strcmp(word, "v") == 0) {
        cl.command = Command::Version;
        cl.rejected = false;
        return cl;
    } else {
        return cl;
    }
    cl.usageWord = cl.command == Command::S2j   ? "s2j"
                   : cl.command == Command::J2s ? "j2s"
                   : cl.command == Command::U2j ? "u2j"
                                                : "mkp";
    if (argc < 7) return cl;
    cl.optLogRead = argv[2][0] >= '0' && argv[2][0] <= '9';
    if (!readNumber(argv[2], cl.optLog) || !oneOf(cl.optLog, {0, 1})) return cl;
    // u2j takes exactly s2j's arguments.
    bool ok = cl.command == Command::S2j || cl.command == Command::U2j ? checkS2j(argv, cl)
              : cl.command == Command::J2s ? checkJ2s(argc, argv, cl)
                                           : checkMkp(argv, cl);
    cl.rejected = !ok;
    return cl;
}

}  // namespace velk
