// glibc's iconv as an independent judge of code-page text.
#pragma once

#include <iconv.h>

#include <optional>
#include <string>

namespace velk::test {

// The whole of `in` converted, or nothing when iconv refuses any of it (or
// does not know one of the codesets).
inline std::optional<std::string> iconvAll(const char* to, const char* from, std::string in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(4 * in.size() + 16, '\0');
    char *ip = in.data(), *op = out.data();
    std::size_t il = in.size(), ol = out.size();
    const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0;
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(out.size() - ol);
    return out;
}

}  // namespace velk::test
