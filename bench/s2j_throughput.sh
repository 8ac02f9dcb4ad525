#!/usr/bin/env bash
# Throughput and peak memory of `velk s2j` on a mixed kanji/ASCII CR LF text,
# beside `iconv -f CP932 -t IBM-930` on the same file in the same run.
#
# usage: bench/s2j_throughput.sh [velk binary (build/velk)] [size in MiB (64)] [runs (5)]
#
# Warm cache, output to a file in a temporary directory that is removed at
# the end. Prints MB/s (10^6 bytes per second) as the median of the runs,
# into a new output file and over an existing one (where the truncating open
# has the file system free the old file first), and the peak memory at two
# input sizes.
set -euo pipefail

velk=$(realpath "${1:-build/velk}")
mib=${2:-64}
runs=${3:-5}
[ -x "$velk" ] || { echo "no velk binary at $velk (build first)" >&2; exit 2; }

work=$(mktemp -d /tmp/velk-s2j-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# Varied lines: kanji, kana, full-width and ASCII letters, digits, signs.
cat >"$work/lines.utf8" <<'TEXT'
2026/03/06 東京都千代田区丸の内一丁目2番3号 山田太郎様 TEL 03-1234-5678
Order No.A12345 商品名: 特製和風ドレッシング 数量 12 単価 480円 合計 5,760円
本日は晴天なり。The quick brown fox jumps over the lazy dog.
会計年度 2025 第3四半期 売上高 1,234,567千円 (前年同期比 +5.2%)
ＡＢＣ全角英数字とひらがな、カタカナ、漢字が混在する行です。
顧客コード=C000987, 氏名=鈴木花子, 住所=大阪府大阪市北区梅田3-1-1
ERROR_CODE=0, STATUS="OK", 処理件数=100000, 経過時間=12.5秒
月曜日から金曜日まで営業しております。土日祝日は休業です。
TEXT
iconv -f UTF-8 -t CP932 "$work/lines.utf8" | sed 's/$/\r/' >"$work/lines.sjis"
lines_bytes=$(stat -c %s "$work/lines.sjis")
repeat=$(( mib * 1024 * 1024 / lines_bytes + 1 ))
# Double the unit past the size, then cut at a whole line set.
cp "$work/lines.sjis" "$work/unit"
count=1
while [ "$count" -lt "$repeat" ]; do
  cat "$work/unit" "$work/unit" >"$work/unit2" && mv "$work/unit2" "$work/unit"
  count=$(( count * 2 ))
done
head -n $(( repeat * 8 )) "$work/unit" >"$work/in.txt"
rm -f "$work/unit"
size=$(stat -c %s "$work/in.txt")
cat "$work/in.txt" >/dev/null  # warm the cache

# Microseconds, without starting a process.
now() { local t=${EPOCHREALTIME/./}; echo "$t"; }

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Microseconds of each run, one per line. With fresh=1 the output file is
# removed before each run, outside the timing.
time_runs() {
  local n=$1 fresh=$2 out=$3; shift 3
  for _ in $(seq "$n"); do
    [ "$fresh" = 1 ] && rm -f "$out"
    local t0 t1
    t0=$(now)
    "$@" >/dev/null 2>&1 || true
    t1=$(now)
    echo "$(( t1 - t0 ))"
  done
}

status=0
"$velk" s2j 0 4 1 "$work/in.txt" "$work/out.jef" >/dev/null 2>&1 || status=$?
echo "input: $size bytes, $(( repeat * 8 )) lines; velk s2j 0 4 1 exit status $status"

velk_us=$(time_runs "$runs" 1 "$work/out.jef" "$velk" s2j 0 4 1 "$work/in.txt" "$work/out.jef" | median)
over_us=$(time_runs "$runs" 0 "$work/out.jef" "$velk" s2j 0 4 1 "$work/in.txt" "$work/out.jef" | median)
iconv_us=$(time_runs 1 1 "$work/out.930" sh -c "iconv -f CP932 -t IBM-930 '$work/in.txt' >'$work/out.930'" | median)
rm -f "$work/out.jef"
peak_kib() { /usr/bin/time -f %M "$velk" s2j 0 4 1 "$1" "$work/out.jef" 2>&1 >/dev/null | tail -1; }
velk_peak=$(peak_kib "$work/in.txt")
head -c 1048576 "$work/in.txt" >"$work/small.txt"
small_peak=$(peak_kib "$work/small.txt")

mbps() { awk -v b="$size" -v us="$1" 'BEGIN { printf "%.1f", b / us }'; }
secs() { awk -v us="$1" 'BEGIN { printf "%.3f", us / 1e6 }'; }
echo "velk s2j, new output file      : $(mbps "$velk_us") MB/s (median of $runs, $(secs "$velk_us") s), peak RSS ${velk_peak} KiB"
echo "velk s2j, overwriting the output: $(mbps "$over_us") MB/s (median of $runs, $(secs "$over_us") s)"
echo "peak RSS, 1 MiB input          : ${small_peak} KiB"
echo "iconv -f CP932 -t IBM-930       : $(mbps "$iconv_us") MB/s (1 run, $(secs "$iconv_us") s)"
echo "ratio, new output file          : velk is $(awk -v a="$iconv_us" -v b="$velk_us" 'BEGIN { printf "%.1f", a / b }') times as fast as iconv"
