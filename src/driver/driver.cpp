#include "driver/driver.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "driver/usage_texts.h"
#include "driver/workers.h"
#include "platform/log_path.h"
#include "platform/platform.h"
#include "shared/version.h"

namespace velk {

namespace {

constexpr char kKeyPrompt[] = "\n確認したら、どれかキーを押してください!!\n";
constexpr std::size_t kLogPathCapacity = 4096;

// Driver text goes to standard error; flush standard output first so that a
// shared terminal shows everything in the order it was written.
void toStderr(const char* text) {
    std::fflush(stdout);
    platform::writeText(stderr, text);
}

void screen(const char* text, void (*waitForKey)()) {
    toStderr(text);
    toStderr(kKeyPrompt);
    std::fflush(stderr);
    waitForKey();
}

// --help and --version: plain text for standard output, in the locale's
// codeset even through a pipe (it is read by a person, through a pager).
void showInformation(Command command) {
    std::string text;
    if (command == Command::Help) {
        text = std::string(kS2jUsage) + "\n" + kJ2sUsage + "\n" + kMkpUsage + "\n" + kU2jUsage +
               "\n" + kJ2uUsage;
    } else {
        text = versionBanner();
    }
    platform::writeLocaleText(stdout, text);
}

}  // namespace

std::string versionBanner() {
    char banner[128];
    std::snprintf(banner, sizeof banner, "VELK V%s %s\n", kVersionText,
                  "JEF/EBCDIC <-> シフトJIS 変換ツール");
    return banner;
}

void showUsage(const char* word, void (*waitForKey)()) {
    auto is = [word](const char* w) { return word != nullptr && std::strcmp(word, w) == 0; };
    if (word == nullptr || is("s2j")) screen(kS2jUsage, waitForKey);
    if (word == nullptr || is("j2s")) screen(kJ2sUsage, waitForKey);
    if (word == nullptr || is("mkp")) screen(kMkpUsage, waitForKey);
    if (word == nullptr || is("u2j")) screen(kU2jUsage, waitForKey);
    if (word == nullptr || is("j2u")) screen(kJ2uUsage, waitForKey);
    if (is("v")) screen(versionBanner().c_str(), waitForKey);
}

int exitStatusFor(std::int32_t result) { return result >= 0 ? 0 : result == -1 ? 1 : 2; }

DriverHooks defaultHooks() {
    return {runS2j, runJ2s, runMkp, runU2j, runJ2u, platform::waitForKey};
}

int runDriver(int argc, const char* const* argv, const DriverHooks& hooks) {
    CommandLine cl = parseCommandLine(argc, argv);
    std::int32_t result = 0;
    if (cl.rejected) {
        if (!cl.reason.empty()) toStderr(cl.reason.c_str());
        showUsage(cl.usageWord, hooks.waitForKey);
        result = -5;
    } else if (cl.toStdout) {
        showInformation(cl.command);
    } else if (cl.command == Command::Version) {
        showUsage("v", hooks.waitForKey);
    } else {
        std::string composed = makeLogPath();
        std::vector<char> logPath(kLogPathCapacity, '\0');
        if (composed.size() < kLogPathCapacity)
            std::memcpy(logPath.data(), composed.data(), composed.size());
        switch (cl.command) {
            case Command::S2j:
                result = hooks.s2j(cl.optLog, cl.optConv, cl.optOther, cl.sjisPath.c_str(),
                                   cl.jefPath.c_str());
                break;
            case Command::J2s:
            case Command::J2u: {
                const auto worker = cl.command == Command::J2u ? hooks.j2u : hooks.j2s;
                result = worker(cl.optLog, cl.optConv, cl.recSize, cl.optSkip, cl.trimFlags,
                                cl.jefPath.c_str(), cl.sjisPath.c_str(), cl.patnPath.c_str(),
                                logPath.data(), logPath.size());
                if (result != j2s::kUnmapped) {
                    if (logPath[0] != '\0') platform::deleteFile(logPath.data());
                } else if (cl.optLog == 0) {
                    std::fflush(stdout);
                    return 1;
                } else if (platform::fileExists(logPath.data())) {
                    // Only a file that is there: when the log could not be
                    // created, its lines went to standard output instead.
                    std::fflush(stdout);
                    platform::printText(stderr, "\n\n%sに変換エラーのログを出力しました。\n\n",
                                        logPath.data());
                }
                break;
            }
            case Command::U2j:
                result = hooks.u2j(cl.optLog, cl.optConv, cl.optOther, cl.sjisPath.c_str(),
                                   cl.jefPath.c_str());
                break;
            default:
                result = hooks.mkp(cl.optLog, cl.optCsv, cl.optQuote, cl.copyPath.c_str(),
                                   cl.ptnPath.c_str());
                break;
        }
    }
    if (cl.optLogRead && cl.optLog != 0) {
        std::fflush(stdout);
        platform::printText(stderr, "\n終了コードは %ld です\n\n", static_cast<long>(result));
    }
    std::fflush(stdout);
    std::fflush(stderr);
    return exitStatusFor(result);
}

}  // namespace velk
