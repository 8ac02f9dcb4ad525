#include <cstdio>

#include "driver/platform.h"
#include "driver/workers.h"

namespace velk {

// Not built yet: say so and fail rather than pretend to convert.
std::int32_t runMkp(int, int, int, const char*, const char*) {
    platform::writeText(stdout, "mkp はまだ組み込まれていません\n");
    return -99;
}

}  // namespace velk
