#include "simd/jis_shortcut.h"

#include <cstddef>

namespace velk::simd {

JisShortcut findJisShortcut(const std::uint8_t* table) {
    JisShortcut s;
    s.count = 0;
    for (int lead = 0xA1; lead <= 0xFE; ++lead) {
        for (int second = 0xA1; second <= 0xFE; ++second) {
            const int row = lead - 0xA0, cell = second - 0xA0;
            const int sjisLead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
            const int sjisSecond = row % 2 != 0 ? cell + 0x3F + (cell >= 64 ? 1 : 0) : cell + 0x9E;
            const std::uint8_t* e = table + 2 * (lead * 256 + second);
            if (e[0] == sjisLead && e[1] == sjisSecond) continue;
            if (s.count == static_cast<int>(s.irregular.size())) {
                s.count = -1;
                return s;
            }
            s.irregular[static_cast<std::size_t>(s.count++)] = static_cast<std::uint16_t>(lead | second << 8);
        }
    }
    return s;
}

}  // namespace velk::simd
