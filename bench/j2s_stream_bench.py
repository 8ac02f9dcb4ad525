#!/usr/bin/env python3
"""Stream conversion speed and memory: j2s without a pattern on a JEF/EBCDIC
file of text and kanji runs, timed with farm-bench beside iconv converting
the same text from IBM-930 (same size and mix), then the peak memory of j2s
for inputs of growing size.

usage: bench/j2s_stream_bench.py [--velk build/velk] [--mib 64] [--runs 5] [--dir /tmp]

Needs farm-bench and iconv on PATH; files go to a temporary folder (under
--dir; /dev/shm keeps the disk out of the figures) that is removed afterwards.
"""
import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile

# One unit of the mix: a line of single-byte text, then a run of kanji.
TEXT = "CUSTOMER 000123 ORDER 4567 TOTAL 0089000 "
KANJI = "東京都千代田区丸の内一丁目請求書番号発行日"


def jef_unit():
    # JIS X 0208 kanji are JEF codes as they stand in EUC-JP; EBCDIC text as in code page 37.
    return TEXT.encode("cp037") + b"\x28" + KANJI.encode("euc_jp") + b"\x29"


def ibm930_unit(workdir):
    src = os.path.join(workdir, "unit.sjis")
    with open(src, "wb") as f:
        f.write((TEXT + KANJI).encode("cp932"))
    return subprocess.run(["iconv", "-f", "CP932", "-t", "IBM-930", src],
                          check=True, capture_output=True).stdout


def write_repeated(path, unit, total):
    count = max(1, total // len(unit))
    with open(path, "wb") as f:
        block = unit * max(1, (1 << 20) // len(unit))
        per_block = len(block) // len(unit)
        left = count
        while left >= per_block:
            f.write(block)
            left -= per_block
        f.write(unit * left)
    return count


def sha(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for chunk in iter(lambda: f.read(1 << 22), b""):
            h.update(chunk)
    return h.hexdigest()


def peak_kib(cmd):
    """Exit status and peak resident size of cmd, measured by /usr/bin/time
    (a small parent, so the figure is the command's own)."""
    proc = subprocess.run(["/usr/bin/time", "-f", "%x %M"] + cmd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                          start_new_session=True)
    code, kib = proc.stderr.strip().splitlines()[-1].split()
    return int(code), int(kib)


def repeated_digest(unit, count):
    h = hashlib.sha256()
    block = unit * 4096
    for _ in range(count // 4096):
        h.update(block)
    h.update(unit * (count % 4096))
    return h.hexdigest()


def farm_bench(runs, command, versus=None):
    args = ["farm-bench", "-n", str(runs), "--timeout", "300"]
    if versus:
        args += ["--vs", versus]
    args += ["--", "sh", "-c", command[len("sh -c '"):-1]]
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def median(report, row):
    m = re.search(r"^" + re.escape(row) + r"\s+(\S+)\s+(\S+)\s+(\S+)", report, re.M)
    return float(m.group(2)) if m else None


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--velk", default=os.path.join(here, "..", "build", "velk"))
    parser.add_argument("--mib", type=int, default=64)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--dir", default=None, help="where the files go (default: /tmp)")
    opts = parser.parse_args()
    velk = os.path.abspath(opts.velk)
    workdir = tempfile.mkdtemp(prefix="velk-j2s-bench-", dir=opts.dir)
    try:
        total = opts.mib << 20
        jef = os.path.join(workdir, "in.jef")
        host = os.path.join(workdir, "in.930")
        out = os.path.join(workdir, "out.txt")
        units = write_repeated(jef, jef_unit(), total)
        write_repeated(host, ibm930_unit(workdir), total)
        size = os.path.getsize(jef)
        print(f"input: {size} bytes of JEF/EBCDIC ({units} units of {len(TEXT)} text bytes "
              f"and {len(KANJI)} kanji); IBM-930 file {os.path.getsize(host)} bytes")

        code, _ = peak_kib([velk, "j2s", "0", "3", "0", jef, out])
        expected = repeated_digest((TEXT + KANJI).encode("cp932"), units)
        ok = code == 0 and sha(out) == expected
        print(f"output check: {'correct' if ok else 'WRONG (exit %d)' % code}")

        # Each run writes a fresh file, as a batch job does: rewriting the
        # previous run's output would time the file system's truncation.
        fresh = lambda cmd: f"sh -c 'rm -f {out}; exec {cmd} > {out}'"
        velk_cmd = f"sh -c 'rm -f {out}; exec {velk} j2s 0 3 0 {jef} {out}'"
        report = farm_bench(opts.runs, velk_cmd, fresh(f"iconv -f IBM-930 -t CP932 {host}"))
        print(report.rstrip())
        a_wall, b_wall = median(report, "A wall s"), median(report, "B wall s")
        ratio = median(report, "A/B wall")
        floor = median(farm_bench(opts.runs, fresh(f"dd if={jef} bs=256K status=none")), "A wall s")
        if a_wall and b_wall and ratio and floor:
            print(f"j2s stream: {size / a_wall / 1e9:.2f} GB/s   iconv IBM-930 -> CP932: "
                  f"{size / b_wall / 1e6:.0f} MB/s   j2s is {1 / ratio:.1f} x as fast "
                  f"(median of pairwise A/B wall {ratio:.4f})")
            print(f"read/write floor (dd of the same file in 256 KiB blocks): "
                  f"{size / floor / 1e9:.2f} GB/s")

        print("peak memory of j2s by input size:")
        for mib in (1, 16, opts.mib, 4 * opts.mib):
            write_repeated(jef, jef_unit(), mib << 20)
            code, kib = peak_kib([velk, "j2s", "0", "3", "0", jef, out])
            print(f"  {mib:5d} MiB  peak {kib / 1024:6.2f} MiB  exit {code}")
    finally:
        shutil.rmtree(workdir, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
