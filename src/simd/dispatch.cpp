// The one place that picks a kernel by level.
#include "simd/avx2/kernels.h"
#include "simd/avx512/kernels.h"
#include "simd/portable/kernels.h"
#include "simd/portable/trim.h"
#include "simd/simd.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define VELK_X86 1
#endif

namespace velk::simd {

#ifdef VELK_X86
#define VELK_PICK(level, call, otherwise)            \
    switch (level) {                                 \
        case Level::avx512:                          \
            return avx512::call;                     \
        case Level::avx2:                            \
            return avx2::call;                       \
        default:                                     \
            return otherwise;                        \
    }
#else
// Only the portable level here: the vector calls stay unevaluated, which
// still counts their arguments as used.
#define VELK_PICK(level, call, otherwise)             \
    (void)(level);                                    \
    (void)sizeof(decltype(avx2::call)*);              \
    return otherwise;
#endif

void makePairTable(const std::uint8_t* table, std::uint16_t* pairs) {
    for (std::size_t pair = 0; pair < kPairEntries; ++pair)
        pairs[pair] = static_cast<std::uint16_t>(table[pair & 0xFF] | table[pair >> 8] << 8);
}

void s2jWindows(Level level, const S2jTables& tables, const std::uint8_t* in, std::size_t n,
                std::int64_t base, S2jCursor& cursor) {
    VELK_PICK(level, s2jWindows(tables, in, n, base, cursor),
              portable::s2jWindows(tables, in, n, base, cursor))
}

// The AVX-512 level takes the AVX2 kernel: its work is the per-character
// look-ups, which wider vectors do not shorten.
void u2jWindows(Level level, const U2jTables& tables, const std::uint8_t* in, std::size_t n,
                U2jCursor& cursor) {
#ifdef VELK_X86
    if (level != Level::portable) return avx2::u2jWindows(tables, in, n, cursor);
#endif
    (void)level, (void)tables, (void)in, (void)n, (void)cursor;
}

void j2sWindows(Level level, const J2sTables& tables, const std::uint8_t* in, std::size_t n,
                std::uint8_t* out, J2sCursor& cursor) {
    VELK_PICK(level, j2sWindows(tables, in, n, out, cursor),
              portable::j2sWindows(tables, in, n, out, cursor))
}

// The AVX-512 level takes the AVX2 windows: each character is a scalar
// look-up and store, which wider vectors would not speed.
void streamChars(Level level, const StreamChars& tables, const std::uint8_t* in, std::size_t n,
              std::uint8_t* out, J2sCursor& cursor) {
#ifdef VELK_X86
    if (level != Level::portable) return avx2::streamChars(tables, in, n, out, cursor);
#endif
    (void)level;
    portable::streamChars(tables, in, n, out, cursor);
}

std::size_t plainRunVector(Level level, const std::uint8_t* src, std::size_t n, std::uint8_t* dst,
                           const std::uint8_t* plain, bool& stopped) {
    VELK_PICK(level, plainRun(src, n, dst, plain, stopped), std::size_t{0})
}

std::uint32_t plainChars(Level level, const std::uint8_t* src, std::uint32_t length,
                         std::uint8_t* out, const std::uint8_t* plain) {
    bool stopped = false;
    VELK_PICK(level, plainChars(src, length, out, plain),
              static_cast<std::uint32_t>(portable::plainRun(src, length, out, plain, stopped)))
}

std::uint32_t shortcutKanji(Level level, const std::uint8_t* src, std::uint32_t pairs,
                            std::uint8_t* out, const JisShortcut& jis) {
    if (jis.count < 0) return 0;
#ifdef VELK_X86
    // Only the AVX2 kernel tests rows: a table with rows of its own (j2u's)
    // takes it at the AVX-512 level too.
    if (level == Level::avx512 && !jis.allRows) return avx2::shortcutKanji(src, pairs, out, jis);
#endif
    VELK_PICK(level, shortcutKanji(src, pairs, out, jis), 0u)
}

// The AVX-512 level takes the AVX2 search: 64 bytes are two of its
// vectors, and the mask is the same.
std::uint64_t commaBits(Level level, const std::uint8_t* src, std::size_t n) {
#ifdef VELK_X86
    if (level != Level::portable) return avx2::commaBits(src, n);
#endif
    (void)level;
    return portable::commaBits(src, n);
}

std::uint64_t commaWindow(Level level, const std::uint8_t* p) {
#ifdef VELK_X86
    if (level != Level::portable) return avx2::commaWindow(p);
#endif
    (void)level;
    return portable::commaBits(p, 64);
}

bool trimSingle(Level level, const TrimRule& rule, std::uint8_t* record, std::size_t r,
                std::size_t e, std::size_t& w) {
    VELK_PICK(level, trimSingle(rule, record, r, e, w), false)
}

bool trimDouble(Level level, const TrimRule& rule, std::uint8_t* record, std::size_t r,
                std::size_t e, std::size_t& w) {
    VELK_PICK(level, trimDouble(rule, record, r, e, w), false)
}

namespace {

// Out of line, so that a call at a vector level passes straight through.
[[gnu::noinline]] std::size_t wordsTrimSingle(const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    return portable::trimSingleInPlace(rule, p, n);
}

[[gnu::noinline]] std::size_t wordsTrimDouble(const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    return portable::trimDoubleInPlace(rule, p, n);
}

}  // namespace

std::size_t trimSingleInPlace(Level level, const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    VELK_PICK(level, trimSingleInPlace(rule, p, n), wordsTrimSingle(rule, p, n))
}

std::size_t trimDoubleInPlace(Level level, const TrimRule& rule, std::uint8_t* p, std::size_t n) {
    VELK_PICK(level, trimDoubleInPlace(rule, p, n), wordsTrimDouble(rule, p, n))
}

}  // namespace velk::simd
