#!/usr/bin/env bash
# Builds velk and runs every test: the fuzz targets over their kept inputs,
# the check that clang is refused, the suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the suite in a normal build, and an aarch64
# build under qemu-user against x86-64.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --fuzz

echo "== Fuzz targets over their kept inputs"
fuzz/replay.sh

echo "== A clang build is refused at configure time (messages need GCC's CP932 literals)"
rm -rf build-clang
if out="$(cmake -S . -B build-clang -DCMAKE_CXX_COMPILER=clang++ 2>&1)"; then
  echo "configuring with clang++ succeeded; it must be refused" >&2
  exit 1
fi
if ! grep -q "velk must be built with GCC" <<<"$out"; then
  echo "$out" >&2
  exit 1
fi
rm -rf build-clang
echo "refused with a clear message"

# The fast-path levels the differential tests ran and skipped, from a ctest log.
print_levels() {
  local ran skipped
  ran=$(grep -E '/(portable|avx2|avx512) +#.* Passed' "$1" | sed -E 's|.*/(portable\|avx2\|avx512) +#.*|\1|' | sort -u | xargs)
  skipped=$(grep -E '/(portable|avx2|avx512) +#.*Skipped' "$1" | sed -E 's|.*/(portable\|avx2\|avx512) +#.*|\1|' | sort -u | xargs)
  echo "== Fast-path levels tested: ${ran:-none}; skipped (this processor lacks them): ${skipped:-none}"
}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

echo "== Test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELK_SANITIZE=ON
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure | tee "$log"
print_levels "$log"

echo "== Test suite (each test also once more with VELK_SIMD=portable)"
cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure | tee "$log"
print_levels "$log"

echo "== aarch64 build under qemu-user against the x86-64 build"
scripts/check-arm.sh
