#!/usr/bin/env bash
# Builds velk and runs every test: the fuzz targets over their kept inputs,
# the suite under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# suite in a normal build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --fuzz

echo "== Fuzz targets over their kept inputs"
fuzz/replay.sh

echo "== Test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELK_SANITIZE=ON
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure

echo "== Test suite"
cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure
