#!/usr/bin/env python3
"""Large-file check: converts files over 2 GiB and 4 GiB with s2j, j2s in
stream mode and j2s with a pattern, checks every output by digest or round
trip, and prints the time and peak memory of each run.

usage: bench/scale.py [--velk build/velk] [--dir /tmp/velk-scale] [--gib 2.2 4.5]

Files are generated on the fly and removed afterwards; the disk needs about
four times the largest size free.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

CHUNK = 1 << 20


def write_repeated(path, unit, total):
    """Writes `unit` repeated until the file holds about `total` bytes; returns the count."""
    count = max(1, total // len(unit))
    per_chunk = max(1, CHUNK // len(unit))
    block = unit * per_chunk
    left = count
    with open(path, "wb") as f:
        while left >= per_chunk:
            f.write(block)
            left -= per_chunk
        f.write(unit * left)
    return count


def digest_file(path, transform=None):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        while True:
            b = f.read(CHUNK * 8)
            if not b:
                break
            h.update(transform(b) if transform else b)
    return h.hexdigest()


def digest_repeated(unit, count):
    h = hashlib.sha256()
    per_chunk = max(1, CHUNK // len(unit))
    block = unit * per_chunk
    left = count
    while left >= per_chunk:
        h.update(block)
        left -= per_chunk
    h.update(unit * left)
    return h.hexdigest()


def run(velk, args, label, size):
    """Runs velk with no terminal and no input; returns (status, seconds, peak KiB).

    The peak comes from /usr/bin/time, whose small child is velk alone: the
    rusage of a child forked from this script would count the script's own
    memory from before the exec."""
    report = os.path.join(tempfile.gettempdir(), f"velk-scale-time-{os.getpid()}")
    start = time.monotonic()
    code = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report, velk] + args,
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, start_new_session=True).returncode
    seconds = time.monotonic() - start
    with open(report) as f:
        peak = int(f.read().split()[-1])
    os.remove(report)
    print(f"  {label:<22} {size / 2**30:6.2f} GiB  {seconds:7.1f} s  "
          f"{size / seconds / 1e6:8.0f} MB/s  peak {peak / 1024:6.1f} MiB  exit {code}")
    sys.stdout.flush()
    return code, seconds, peak


def convert_unit(velk, workdir, args_for, unit):
    """Converts one small unit to learn what each repetition must become."""
    src = os.path.join(workdir, "unit.in")
    dst = os.path.join(workdir, "unit.out")
    with open(src, "wb") as f:
        f.write(unit)
    subprocess.run([velk] + args_for(src, dst), stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   start_new_session=True, check=False)
    with open(dst, "rb") as f:
        return f.read()


def check_size(velk, workdir, gib):
    total = int(gib * 2**30)
    failures = []
    text = os.path.join(workdir, "big.txt")
    jef = os.path.join(workdir, "big.jef")
    back = os.path.join(workdir, "big.back")
    print(f"{gib} GiB:")

    # s2j then j2s stream: the round trip gives back the text without line ends.
    line = "ABC123 ｱｲｳｴｵ 漢字変換テスト 0123456789 XYZ\r\n".encode("cp932")
    lines = write_repeated(text, line, total)
    size = os.path.getsize(text)
    code, _, _ = run(velk, ["s2j", "0", "1", "1", text, jef], "s2j", size)
    if code != 0:
        failures.append(f"s2j exit {code}")
    code, _, _ = run(velk, ["j2s", "0", "1", "0", jef, back], "j2s stream", os.path.getsize(jef))
    if code != 0:
        failures.append(f"j2s stream exit {code}")
    if digest_file(back) != digest_file(text, lambda b: b.replace(b"\r\n", b"")):
        failures.append("round trip s2j -> j2s differs")
    print(f"  round trip of {lines} lines checked")
    os.remove(text)
    os.remove(back)
    os.remove(jef)

    # j2s with a pattern over fixed records of text, kanji, zoned and packed numbers.
    pattern = os.path.join(workdir, "rec.ptn")
    with open(pattern, "w") as f:
        f.write("XXXXXXXXXX,NNNNNNNNNNNN,SSSSS.SS,CCCCCCC\n")
    text_part = "ABCDE ｱｲｳ ".encode("cp932")
    kanji_jef = convert_unit(velk, workdir,
                             lambda s, d: ["s2j", "0", "1", "0", s, d],
                             "漢字変換表".encode("cp932") + "　".encode("cp932"))
    ebcdic = convert_unit(velk, workdir, lambda s, d: ["s2j", "0", "1", "0", s, d], text_part)
    record = ebcdic + kanji_jef + bytes([0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xD7]) + \
        bytes([0x12, 0x34, 0x56, 0x7C])
    assert len(record) == 10 + 12 + 7 + 4
    expected_line = convert_unit(
        velk, workdir, lambda s, d: ["j2s", "0", "1", "1", s, d, pattern, "0", "1"], record)
    records = write_repeated(jef, record, total)
    code, _, _ = run(velk, ["j2s", "0", "1", "1", jef, back, pattern, "0", "1"],
                     "j2s pattern + trim", os.path.getsize(jef))
    if code != 0:
        failures.append(f"j2s pattern exit {code}")
    if digest_file(back) != digest_repeated(expected_line, records):
        failures.append("j2s pattern output differs")
    print(f"  {records} records checked against {expected_line!r}")
    os.remove(jef)
    os.remove(back)
    return failures


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--velk", default=os.path.join(here, "..", "build", "velk"))
    parser.add_argument("--dir", default="/tmp/velk-scale")
    parser.add_argument("--gib", type=float, nargs="+", default=[2.2, 4.5])
    opts = parser.parse_args()
    os.makedirs(opts.dir, exist_ok=True)
    failures = []
    try:
        for gib in opts.gib:
            failures += check_size(os.path.abspath(opts.velk), opts.dir, gib)
    finally:
        shutil.rmtree(opts.dir, ignore_errors=True)
    print("all outputs correct" if not failures else "FAILED: " + "; ".join(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
