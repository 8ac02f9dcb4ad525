// The command driver: checks the command line, calls one worker, keeps or
// deletes the j2s/j2u error log, reports and maps the result to an exit status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velk {

struct DriverHooks {
    std::int32_t (*s2j)(int, int, int, const char*, const char*);
    std::int32_t (*j2s)(int, int, int, int, int, const char*, const char*, const char*, char*,
                        std::size_t);
    std::int32_t (*mkp)(int, int, int, const char*, const char*);
    std::int32_t (*u2j)(int, int, int, const char*, const char*);
    std::int32_t (*j2u)(int, int, int, int, int, const char*, const char*, const char*, char*,
                        std::size_t);
    void (*waitForKey)();
};

// The real workers and the terminal key wait.
DriverHooks defaultHooks();

// Runs one command and returns the exit status (0, 1 or 2).
int runDriver(int argc, const char* const* argv, const DriverHooks& hooks);

// 0 for a result of 0 or more, 1 for -1, 2 otherwise.
int exitStatusFor(std::int32_t result);

// Writes the usage screen(s) for word (null: every command's; "v": the banner), each
// followed by the key prompt and one key wait.
void showUsage(const char* word, void (*waitForKey)());

// "VELK V1.10 " and the notice, with its line break.
std::string versionBanner();

}  // namespace velk
