#!/usr/bin/env bash
# Cross-compiles velk for aarch64, where only the portable fast paths exist,
# runs it under qemu-user on the demo's samples and on a few MiB of the
# benchmark's inputs for every command, and compares each output and exit
# status byte for byte with the x86-64 build's.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --arm
qemu=$(command -v qemu-aarch64 || command -v qemu-aarch64-static)
sysroot=/usr/aarch64-linux-gnu

echo "== Building velk for aarch64 (build-arm/) and x86-64 (build-release/)"
cmake -S . -B build-arm -DCMAKE_BUILD_TYPE=Release -DVELK_BUILD_TESTS=OFF \
      -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=aarch64 \
      -DCMAKE_CXX_COMPILER=aarch64-linux-gnu-g++ >/dev/null
cmake --build build-arm -j2 --target velk >/dev/null
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVELK_BUILD_TESTS=OFF >/dev/null
cmake --build build-release -j2 --target velk >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
arm="$PWD/build-arm/velk"
x86="$PWD/build-release/velk"
in="$work/in"
mkdir -p "$in" "$work/arm" "$work/x86"

echo "== Inputs: the samples and 2 MiB of each benchmark input"
cp samples/customer.txt samples/customer.cpy "$in/"
"$x86" s2j 1 2 0 "$in/customer.txt" "$in/customer.jef" </dev/null >/dev/null 2>&1
"$x86" mkp 1 1 1 "$in/customer.cpy" "$in/customer.ptn" </dev/null >/dev/null 2>&1
python3 - "$in" "$x86" <<'PY'
import sys
sys.path.insert(0, "bench")
import throughput
throughput.make_inputs(sys.argv[1], sys.argv[2], 2)
PY

# Each command: its arguments, OUT standing for the output file.
commands=(
  "s2j 1 2 0 $in/customer.txt OUT"
  "s2j 0 4 1 $in/text.sjis OUT"
  "s2j 0 1 0 $in/text.sjis OUT"
  "s2j 0 3 1 $in/text.sjis OUT"
  "s2j 0 9 0 $in/text.sjis OUT"
  "u2j 0 4 1 $in/text.utf8 OUT"
  "u2j 1 2 0 $in/text.utf8 OUT"
  "mkp 1 1 1 $in/customer.cpy OUT"
  "j2s 1 1 1 $in/customer.jef OUT $in/customer.ptn 1 3"
  "j2s 0 3 0 $in/text.jef OUT"
  "j2s 0 1 0 $in/text.jef OUT"
  "j2s 0 2 200 $in/text.jef OUT"
  "j2s 0 3 1 $in/records.jef OUT $in/rec.ptn 0 1"
  "j2s 0 3 1 $in/records.jef OUT $in/rec.ptn 1 0"
  "j2s 0 1 1 $in/records.jef OUT $in/rec.ptn 0 5"
  "j2u 0 3 0 $in/text.jef OUT"
  "j2u 0 3 1 $in/records.jef OUT $in/rec.ptn 0 1"
)

echo "== Running each command under $(basename "$qemu") and natively"
failed=0
k=0
for c in "${commands[@]}"; do
  k=$((k + 1))
  a=0 x=0
  (cd "$work/arm" && setsid -w "$qemu" -L "$sysroot" "$arm" ${c//OUT/$work/arm/$k.out} \
      </dev/null >"$work/arm/$k.log" 2>&1) || a=$?
  (cd "$work/x86" && setsid -w "$x86" ${c//OUT/$work/x86/$k.out} \
      </dev/null >"$work/x86/$k.log" 2>&1) || x=$?
  if [ "$a" = "$x" ] && cmp -s "$work/arm/$k.out" "$work/x86/$k.out"; then
    echo "same   (exit $x, $(wc -c <"$work/x86/$k.out") bytes): velk ${c//$in\//}"
  else
    echo "DIFFER (exit $a on aarch64, $x on x86-64): velk ${c//$in\//}"
    failed=1
  fi
done
[ "$failed" = 0 ] && echo "== aarch64 agrees with x86-64 on every command" || exit 1
