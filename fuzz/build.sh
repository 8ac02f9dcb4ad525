#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/ (fuzz_<target> executables).
# Needs clang and libFuzzer (Debian: clang libclang-rt-14-dev).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
cxx="${CXX_FUZZ:-$(command -v clang++ || command -v clang++-14 || true)}"
if [ -z "$cxx" ]; then
  echo "fuzz/build.sh: clang++ not found (install clang libclang-rt-14-dev)" >&2
  exit 2
fi
cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=None >/dev/null
cmake --build "$build" -j2
