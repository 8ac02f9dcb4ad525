#!/usr/bin/env bash
# Replays the kept inputs: builds the fuzz targets if needed, then runs each
# target once over its seeds (fuzz/seeds/<target>/) and the inputs that
# once found a fault (fuzz/regressions/<target>/). Fails on any crash,
# sanitizer report or broken invariant.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$root/build-fuzz"

"$here/build.sh" >/dev/null

passed=0
failed=0
for src in "$here"/targets/*.cpp; do
  t="$(basename "$src" .cpp)"
  inputs=()
  for dir in "$here/seeds/$t" "$here/regressions/$t"; do
    [ -d "$dir" ] || continue
    for f in "$dir"/*; do [ -f "$f" ] && inputs+=("$f"); done
  done
  if [ ${#inputs[@]} -eq 0 ]; then
    echo "$t: no inputs kept" >&2
    failed=$((failed + 1))
    continue
  fi
  log="$(mktemp)"
  if "$build/fuzz_$t" -rss_limit_mb=2048 -timeout=25 "${inputs[@]}" >"$log" 2>&1; then
    echo "$t: ${#inputs[@]} inputs replayed"
    passed=$((passed + 1))
  else
    echo "$t: FAILED" >&2
    cat "$log" >&2
    failed=$((failed + 1))
  fi
  rm -f "$log"
done
echo "replay: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
