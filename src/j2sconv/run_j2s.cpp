#include <cstdio>

#include "driver/platform.h"
#include "driver/workers.h"

namespace velk {

// Not built yet: say so and fail rather than pretend to convert.
std::int32_t runJ2s(int, int, int, int, int, const char*, const char*, const char*, char*, std::size_t) {
    platform::writeText(stdout, "j2s はまだ組み込まれていません\n");
    return -99;
}

}  // namespace velk
