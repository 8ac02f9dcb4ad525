#!/usr/bin/env bash
# Replays the kept inputs: builds the fuzz targets if needed, then runs each
# target once over its seeds (fuzz/seeds/<target>/) and the inputs that
# once found a fault (fuzz/regressions/<target>/), one process per input.
# Fails on any crash, sanitizer report or broken invariant.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$root/build-fuzz"

"$here/build.sh" >/dev/null

passed=0
failed=0
for src in "$here"/targets/*.cpp; do
  t="$(basename "$src" .cpp)"
  count=0
  for dir in "$here/seeds/$t" "$here/regressions/$t"; do
    [ -d "$dir" ] || continue
    for f in "$dir"/*; do
      [ -f "$f" ] || continue
      count=$((count + 1))
      if out="$("$build/fuzz_$t" -rss_limit_mb=2048 -timeout=25 "$f" 2>&1)"; then
        passed=$((passed + 1))
      else
        failed=$((failed + 1))
        echo "$t: FAILED on ${f#"$root"/}" >&2
        echo "$out" | tail -n 40 >&2
      fi
    done
  done
  if [ "$count" -eq 0 ]; then
    echo "$t: no inputs kept" >&2
    failed=$((failed + 1))
  else
    echo "$t: $count inputs replayed"
  fi
done
echo "replay: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
