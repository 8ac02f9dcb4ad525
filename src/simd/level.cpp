#include "simd/level.h"

#include <cstdlib>

#if defined(__x86_64__) && defined(__GNUC__)
#include <cpuid.h>
#endif

namespace velk::simd {

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// The vector kernels lean on BMI2's bit deposit and extract, which AMD
// processors before family 19h (Zen 3) run as slow microcode.
bool fastBitDeposit() {
    if (!__builtin_cpu_is("amd")) return true;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    unsigned family = (eax >> 8) & 0xF;
    if (family == 0xF) family += (eax >> 20) & 0xFF;
    return family >= 0x19;
}
#endif

}  // namespace

bool available(Level level) {
    switch (level) {
        case Level::portable:
            return true;
#if defined(__x86_64__) && defined(__GNUC__)
        case Level::avx2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                   __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") &&
                   fastBitDeposit();
        case Level::avx512:
            return available(Level::avx2) && __builtin_cpu_supports("avx512f") &&
                   __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
                   __builtin_cpu_supports("avx512vbmi2");
#endif
        default:
            return false;
    }
}

Level bestLevel() {
    static const Level best = available(Level::avx512) ? Level::avx512
                              : available(Level::avx2) ? Level::avx2
                                                       : Level::portable;
    return best;
}

Level chooseLevel(const char* requested) {
    if (requested == nullptr) return bestLevel();
    const std::optional<Level> asked = parseLevel(requested);
    if (!asked || !available(*asked)) return bestLevel();
    return *asked;
}

Level processLevel() {
    static const Level level = chooseLevel(std::getenv("VELK_SIMD"));
    return level;
}

const char* name(Level level) {
    switch (level) {
        case Level::avx2:
            return "avx2";
        case Level::avx512:
            return "avx512";
        default:
            return "portable";
    }
}

std::optional<Level> parseLevel(std::string_view text) {
    for (Level level : kLevels)
        if (text == name(level)) return level;
    return std::nullopt;
}

}  // namespace velk::simd
