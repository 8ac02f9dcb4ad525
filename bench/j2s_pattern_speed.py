#!/usr/bin/env python3
"""Speed of j2s with a pattern: a 64 MiB file of 200-byte records mixing text
(X), kanji (N), signed zoned (S) and packed (C) fields with comma separators,
converted with optTrim 1, timed by farm-bench; the same file converted in
stream mode (recSize 200) is timed in the same call, pair by pair, beside it.

usage: bench/j2s_pattern_speed.py [--velk build/velk] [--mib 64] [--runs 5]

Prints the median wall time and input throughput of each mode and checks
that the pattern run wrote one line per record.
"""
import argparse
import glob
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

RECORD = 200
# 20 + 40 + 9 + 5 + 30 + 30 + 7 + 6 + 40 + 5 + 8 = 200 source bytes
FIELDS = [("X", 20), ("N", 40), ("S.", 9), ("C.", 9), ("X", 30), ("N", 30),
          ("S", 7), ("C", 11), ("X", 40), ("S", 5), ("C", 15)]


def pattern_text():
    parts = []
    for kind, n in FIELDS:
        letter = kind[0]
        if kind.endswith("."):
            parts.append(letter * (n - 2) + "." + letter * 2)
        else:
            parts.append(letter * n)
    return ",".join(parts)


EBCDIC = {**{c: 0xC1 + i for i, c in enumerate("ABCDEFGHI")},
          **{c: 0xD1 + i for i, c in enumerate("JKLMNOPQR")},
          **{c: 0xE2 + i for i, c in enumerate("STUVWXYZ")},
          **{str(d): 0xF0 + d for d in range(10)}, " ": 0x40}


def record(rng):
    out = bytearray()
    for kind, n in FIELDS:
        if kind == "X":  # words, padded with blanks
            used = rng.randint(1, n)
            text = "".join(rng.choice("ABCDEFGHIJ KLMNOP") for _ in range(used)).ljust(n)
            out += bytes(EBCDIC[c] for c in text)
        elif kind == "N":  # level-1 kanji, padded with full-width blanks
            used = rng.randint(1, n // 2)
            for _ in range(used):
                out += bytes([rng.randint(0xB0, 0xCE), rng.randint(0xA1, 0xFE)])
            out += b"\xA1\xA1" * (n // 2 - used)
        elif kind[0] == "S":
            digits = [rng.randint(0, 9) for _ in range(n)]
            out += bytes(0xF0 + d for d in digits[:-1])
            out.append((0xD0 if rng.random() < 0.3 else 0xC0) + digits[-1])
        else:
            width = n // 2 + 1
            nibbles = [rng.randint(0, 9) for _ in range(2 * width - 1)]
            nibbles.append(0xD if rng.random() < 0.3 else 0xC)
            out += bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, len(nibbles), 2))
    assert len(out) == RECORD
    return bytes(out)


def write_input(path, size):
    rng = random.Random(20240601)
    block = b"".join(record(rng) for _ in range(512))
    records = size // RECORD
    with open(path, "wb") as f:
        left = records * RECORD
        while left >= len(block):
            f.write(block)
            left -= len(block)
        f.write(block[:left])
    return records


def median_wall(report, which):
    m = re.search(rf"^{which} wall s\s+(\S+)\s+(\S+)\s+(\S+)", report, re.M)
    if not m:
        sys.exit("farm-bench printed no wall time for " + which + ":\n" + report)
    return float(m.group(2))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--velk", default=os.path.join(here, "..", "build", "velk"))
    parser.add_argument("--mib", type=int, default=64)
    parser.add_argument("--runs", type=int, default=5)
    opts = parser.parse_args()
    velk = os.path.abspath(opts.velk)
    logs = os.path.join(os.path.dirname(velk), "VELK_LOG_*.txt")
    logs_before = set(glob.glob(logs))
    work = tempfile.mkdtemp(prefix="velk-j2s-pattern-")
    try:
        jef = os.path.join(work, "in.jef")
        ptn = os.path.join(work, "rec.ptn")
        out_pattern = os.path.join(work, "pattern.txt")
        out_stream = os.path.join(work, "stream.txt")
        records = write_input(jef, opts.mib * 2**20)
        size = os.path.getsize(jef)
        with open(ptn, "w") as f:
            f.write(pattern_text() + "\n")

        pattern_cmd = [velk, "j2s", "0", "3", "1", jef, out_pattern, ptn, "0", "1"]
        stream_cmd = [velk, "j2s", "0", "3", str(RECORD), jef, out_stream]
        bench = subprocess.run(
            ["farm-bench", "-n", str(opts.runs), "--timeout", "300",
             "--vs", " ".join(stream_cmd), "--"] + pattern_cmd,
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, check=False)
        report = bench.stdout
        pattern_s = median_wall(report, "A")
        stream_s = median_wall(report, "B")

        lines = 0
        with open(out_pattern, "rb") as f:
            while chunk := f.read(1 << 22):
                lines += chunk.count(b"\r\n")
        print(f"input: {size / 2**20:.0f} MiB, {records} records of {RECORD} bytes")
        print(f"pattern:   {pattern_text()}")
        print(f"j2s pattern, optTrim 1   median {pattern_s:6.3f} s  {size / pattern_s / 1e6:7.0f} MB/s")
        print(f"j2s stream, recSize {RECORD}  median {stream_s:6.3f} s  {size / stream_s / 1e6:7.0f} MB/s")
        if lines != records:
            print(f"FAILED: the pattern run wrote {lines} lines for {records} records")
            return 1
        print(f"pattern output: {lines} lines, one per record")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)
        # Stream mode meets packed bytes it cannot convert and keeps an (empty) log.
        for path in set(glob.glob(logs)) - logs_before:
            os.remove(path)


if __name__ == "__main__":
    sys.exit(main())
