// Test records written as text: ASCII to EBCDIC by the product's own table,
// whose every byte the code-table tests pin.
#pragma once

#include <string>

#include "tblank/single_byte_tables.h"

namespace velk::test {

inline std::string ebcdic(const std::string& ascii) {
    std::string out;
    for (unsigned char c : ascii) out += static_cast<char>(a2eAscii[c]);
    return out;
}

}  // namespace velk::test
