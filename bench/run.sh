#!/usr/bin/env bash
# Builds a release velk and prints its throughput and peak memory for s2j, u2j,
# j2s and j2u in stream mode and with a pattern, beside iconv and cat timed in
# the same run. Options go to bench/throughput.py (--help lists them).
#
# usage: bench/run.sh [--mib 64] [--runs 5] [--iconv-runs 3] [--dir DIR] [--simd LEVEL]
#                     [--baseline OLD_VELK]
# (one table per fast-path level the processor has, or only LEVEL)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-release
log=$(mktemp)
trap 'rm -f "$log"' EXIT
echo "building $build/velk (Release) ..."
if ! { cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELK_BUILD_TESTS=OFF &&
       cmake --build "$build" -j2 --target velk; } >"$log" 2>&1; then
  cat "$log" >&2
  exit 2
fi
python3 bench/throughput.py --velk "$build/velk" "$@"
