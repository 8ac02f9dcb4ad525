#include <cstdio>

#include "driver/platform.h"
#include "driver/workers.h"

namespace velk {

// Not built yet: say so and fail rather than pretend to convert.
std::int32_t runS2j(int, int, int, const char*, const char*) {
    platform::writeText(stdout, "s2j はまだ組み込まれていません\n");
    return -99;
}

}  // namespace velk
