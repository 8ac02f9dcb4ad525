#include "j2sconv/record_convert.h"

#include "driver/messages.h"

namespace velk::j2s {

// Not built yet: say so and fail rather than pretend to convert.
std::int32_t convertRecords(Run& run, int, int, int, std::int64_t) {
    say(run.optLog, "パターンファイルによる変換はまだ組み込まれていません\n");
    return -99;
}

}  // namespace velk::j2s
