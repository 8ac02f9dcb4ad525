#!/usr/bin/env bash
# Builds velk and runs every test: the suite in a normal build, the suite
# again under AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz
# targets over their kept inputs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --fuzz

echo "== Test suite"
cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure

echo "== Test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELK_SANITIZE=ON
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure

if [ -x fuzz/replay.sh ]; then
  echo "== Fuzz targets over their kept inputs"
  fuzz/replay.sh
fi
