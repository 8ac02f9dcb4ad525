#include "tblknj/kanji_tables.h"

namespace velk {

// Placeholder until the tables land: every code reports "no mapping".
const KanjiTable jef2sjis{};
const KanjiTable sjis2jef{};

}  // namespace velk
