#!/usr/bin/env bash
# Builds velk if needed and runs the main job on the bundled samples:
# Shift-JIS text -> JEF/EBCDIC data (s2j), COBOL copy-book -> record
# pattern (mkp), and the data back to a Shift-JIS CSV through that pattern
# (j2s). Everything it writes goes to out/.
set -euo pipefail
cd "$(dirname "$0")/.."

say() { printf '\n== %s\n' "$*"; }
# velk writes Shift-JIS; show it as UTF-8, line ends without CR.
show() { iconv -f CP932 -t UTF-8 | tr -d '\r'; }
run() {
    printf '$ %s\n' "$*"
    local status=0
    "$@" >out/velk.log 2>&1 || status=$?
    show <out/velk.log
    if [ "$status" -ne 0 ]; then
        echo "stopped: exit status $status" >&2
        exit "$status"
    fi
}

scripts/install-deps.sh

say "Building velk (build/)"
mkdir -p out
if ! { [ -f build/CMakeCache.txt ] || cmake -S . -B build; } >out/build.log 2>&1 ||
   ! cmake --build build -j2 --target velk >>out/build.log 2>&1; then
    cat out/build.log >&2
    exit 1
fi
velk=build/velk

say "The sample copy-book (samples/customer.cpy)"
cat samples/customer.cpy

say "The sample data, Shift-JIS text with one 47-byte record a line (samples/customer.txt)"
show <samples/customer.txt

say "1. Shift-JIS to JEF/EBCDIC, EBCDIC kana, no shift codes"
run "$velk" s2j 1 2 0 samples/customer.txt out/customer.jef
echo "(s2j's result is the number of line feeds it read: one per record)"
echo "out/customer.jef: $(wc -c <out/customer.jef) bytes, first record:"
od -A d -t x1 -N 47 out/customer.jef

say "2. Copy-book to record pattern, comma-separated, text fields quoted"
run "$velk" mkp 1 1 1 samples/customer.cpy out/customer.ptn
echo "(mkp's result is the record length in bytes)"
echo "out/customer.ptn:"
cat out/customer.ptn

say "3. JEF/EBCDIC back to Shift-JIS through the pattern: CR LF after each record,"
echo "   shift-code bytes kept as data, blanks trimmed from the end of each field"
run "$velk" j2s 1 1 1 out/customer.jef out/customer.csv out/customer.ptn 1 3
echo "(j2s's result is the number of lines it wrote)"

say "The result (out/customer.csv, Shift-JIS, shown as UTF-8)"
show <out/customer.csv
