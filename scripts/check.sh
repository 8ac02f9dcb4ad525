#!/usr/bin/env bash
# Builds velk and runs every test: the fuzz targets over their kept inputs,
# the check that clang is refused, the suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the suite in a normal build.
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

echo "== Test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELK_SANITIZE=ON
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure

echo "== Test suite"
cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure
