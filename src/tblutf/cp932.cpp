#include "tblutf/cp932.h"

#include "tblutf/cp932_data.h"

namespace velk::cp932 {

namespace {

struct Tables {
    Table forward;
    Table back;

    Tables() {
        forward.fill(kNone);
        back.fill(kNone);
        for (std::size_t r = 0; r < kRunCount; ++r) {
            const Run& run = kRuns[r];
            for (unsigned k = 0; k < run.length; ++k) {
                const unsigned code = run.first + k;
                forward[code] = static_cast<std::uint16_t>(
                    run.counted ? run.value + k : kCodePoints[run.value + k]);
            }
        }
        // Lowest Shift-JIS code first; the listed exceptions override it.
        for (unsigned code = 65536; code-- > 0;) {
            if (forward[code] != kNone) back[forward[code]] = static_cast<std::uint16_t>(code);
        }
        for (std::size_t k = 0; k < kBackCount; ++k) back[kBack[k].codePoint] = kBack[k].sjis;
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

}  // namespace

const Table& toUnicode() { return tables().forward; }
const Table& fromUnicode() { return tables().back; }

}  // namespace velk::cp932
