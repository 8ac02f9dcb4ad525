#include "simd/jis_shortcut.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace velk::simd {

JisShortcut findJisShortcut(const std::uint8_t* table) {
    constexpr int kRows = 94;
    std::vector<std::uint16_t> irregular[kRows];
    std::size_t total = 0;
    for (int lead = 0xA1; lead <= 0xFE; ++lead) {
        for (int second = 0xA1; second <= 0xFE; ++second) {
            const int row = lead - 0xA0, cell = second - 0xA0;
            const int sjisLead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
            const int sjisSecond = row % 2 != 0 ? cell + 0x3F + (cell >= 64 ? 1 : 0) : cell + 0x9E;
            const std::uint8_t* e = table + 2 * (lead * 256 + second);
            if (e[0] == sjisLead && e[1] == sjisSecond) continue;
            irregular[row - 1].push_back(static_cast<std::uint16_t>(lead | second << 8));
            ++total;
        }
    }
    // The rows with the most exceptions go to the table until the rest fit.
    bool taken[kRows];
    std::fill(std::begin(taken), std::end(taken), true);
    JisShortcut s;
    while (total > s.irregular.size()) {
        int worst = -1;
        for (int r = 0; r < kRows; ++r)
            if (taken[r] && (worst < 0 || irregular[r].size() > irregular[worst].size())) worst = r;
        taken[worst] = false;
        total -= irregular[worst].size();
        s.allRows = false;
    }
    s.count = 0;
    bool any = false;
    for (int r = 0; r < kRows; ++r) {
        if (!taken[r]) continue;
        any = true;
        const unsigned lead = 0xA1 + static_cast<unsigned>(r);
        s.rowBits[lead & 15] |= static_cast<std::uint8_t>(1u << ((lead >> 4) - 8));
        for (std::uint16_t pair : irregular[r]) s.irregular[static_cast<std::size_t>(s.count++)] = pair;
    }
    if (!any) s.count = -1;
    return s;
}

}  // namespace velk::simd
