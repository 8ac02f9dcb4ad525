#include "simd/level.h"

#include <cstdlib>

namespace velk::simd {

bool available(Level level) {
    switch (level) {
        case Level::portable:
            return true;
#if defined(__x86_64__) && defined(__GNUC__)
        case Level::avx2:
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                   __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
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
