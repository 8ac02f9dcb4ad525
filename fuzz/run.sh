#!/usr/bin/env bash
# Fuzzes each target for SECONDS: fuzz/run.sh SECONDS [target...]
# (all targets when none is named; names as in fuzz/targets/). Targets run
# one after another, one process each. The growing corpus lives in
# build-fuzz/corpus/<target>/ (never committed) and starts from the seeds in
# fuzz/seeds/<target>/; crashing inputs land in build-fuzz/artifacts/<target>/
# and the fuzzer's log in build-fuzz/logs/<target>.log. A dictionary in
# fuzz/dicts/<target>.dict is used when there is one.
# Exits 1 when some target found something.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$root/build-fuzz"

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: fuzz/run.sh SECONDS [target...]" >&2
  exit 2
fi
seconds="$1"
shift
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for f in "$here"/targets/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

"$here/build.sh" >/dev/null

found=0
for t in "${targets[@]}"; do
  exe="$build/fuzz_$t"
  [ -x "$exe" ] || { echo "no such target: $t" >&2; exit 2; }
  corpus="$build/corpus/$t"
  mkdir -p "$corpus" "$build/artifacts/$t" "$build/logs"
  dirs=("$corpus")
  [ -d "$here/seeds/$t" ] && dirs+=("$here/seeds/$t")
  log="$build/logs/$t.log"
  dict=()
  [ -f "$here/dicts/$t.dict" ] && dict=(-dict="$here/dicts/$t.dict")
  echo "fuzzing $t for ${seconds}s (log: $log)"
  status=0
  "$exe" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$t/" "${dict[@]}" \
    "${dirs[@]}" >"$log" 2>&1 || status=$?
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)"
  if [ "$status" -ne 0 ]; then
    found=1
    echo "  $t: FOUND SOMETHING after ${runs:-?} executions (status $status); see $log"
    ls "$build/artifacts/$t/"
  else
    echo "  $t: ${runs:-?} executions, nothing found"
  fi
done
exit "$found"
