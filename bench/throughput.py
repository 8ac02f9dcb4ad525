#!/usr/bin/env python3
"""Throughput and peak memory of s2j, j2s in stream mode, j2s with a
pattern and trimming, u2j, and j2u in both modes, each beside iconv and cat timed in the same run on the
same machine, printed as one table per fast-path level that the processor
has (VELK_SIMD=portable, avx2, avx512), or for the one --simd names.
bench/run.sh builds a release binary and runs this script; call it directly
to time another binary.

usage: bench/throughput.py [--velk build-release/velk] [--mib 64] [--runs 5]
                           [--iconv-runs 3] [--dir DIR] [--simd LEVEL]
                           [--baseline OLD_VELK]

Inputs (generated into a temporary folder under --dir, removed at the end):
  text.sjis    mixed kanji/ASCII Shift-JIS lines ending in CR LF, for s2j;
  text.jef     its JEF/EBCDIC form with shift codes (velk s2j 0 4 1), for j2s
               and j2u;
  text.930     the same text in IBM-930 (iconv), for iconv's way back;
  text.utf8    the same text in UTF-8 (iconv), for u2j;
  records.jef  200-byte records of text, kanji, zoned and packed fields, for
               j2s with a pattern and optTrim 1.

Every run writes a new output file: the old one is removed before the run,
outside the timing, so the file system's freeing of a truncated file is not
measured. Times are whole processes (start to exit); the table shows the
median of the runs. The machine may be shared: the load average is printed,
and the ratio to cat is the median of ratios taken run by run, cat and velk
in turn, which keeps it fair when the machine's speed drifts.
"""
import argparse
import hashlib
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1 << 20

# Fragments of business text: kanji, kana, full-width and ASCII words, numbers.
WORDS = [
    "東京都千代田区丸の内", "一丁目2番3号", "山田太郎様", "TEL", "03-1234-5678", "Order",
    "No.A12345", "商品名:", "特製和風ドレッシング", "数量", "単価", "480円", "合計",
    "5,760円", "本日は晴天なり。", "The", "quick", "brown", "fox", "jumps", "over",
    "the", "lazy", "dog.", "会計年度", "2025", "第3四半期", "売上高", "1,234,567千円",
    "(前年同期比", "+5.2%)", "ＡＢＣ全角英数字", "ひらがな、カタカナ、漢字", "顧客コード=C000987,",
    "氏名=鈴木花子,", "住所=大阪府大阪市北区梅田3-1-1", "ERROR_CODE=0,", 'STATUS="OK",',
    "処理件数=100000,", "経過時間=12.5秒", "月曜日から金曜日まで営業しております。", "土日祝日は休業です。",
    "請求書番号", "発行日", "2026/03/06", "株式会社", "御中", "備考", "特になし",
]

RECORD = 200
# 20 + 40 + 9 + 5 + 30 + 30 + 7 + 6 + 40 + 5 + 8 = 200 source bytes
FIELDS = [("X", 20), ("N", 40), ("S.", 9), ("C.", 9), ("X", 30), ("N", 30),
          ("S", 7), ("C", 11), ("X", 40), ("S", 5), ("C", 15)]

EBCDIC = {**{c: 0xC1 + i for i, c in enumerate("ABCDEFGHI")},
          **{c: 0xD1 + i for i, c in enumerate("JKLMNOPQR")},
          **{c: 0xE2 + i for i, c in enumerate("STUVWXYZ")},
          **{str(d): 0xF0 + d for d in range(10)}, " ": 0x40}

TIME = "/usr/bin/time"

COMMANDS = ("s2j", "j2s stream", "j2s pattern", "u2j", "j2u stream", "j2u pattern")
# MB/s on one core; the portable level's goal is relative (1.5x the byte
# loops of before), so it has none here. j2u's are j2s's over 1.25.
TARGETS = {"portable": (None,) * 6, "avx2": (1000, 1500, 500, 500, 1200, 400),
           "avx512": (1500, 2000, 1000, 500, 1600, 800)}
LEVELS = ("portable", "avx2", "avx512")


def cpu_flags():
    """The processor's feature flags and model name, from /proc/cpuinfo;
    "slow_bmi2" added on AMD before family 19h, as velk detects it."""
    flags, model, vendor, family = set(), "unknown processor", "", 0
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                key, _, value = line.partition(":")
                key = key.strip()
                if key == "flags" and not flags:
                    flags = set(value.split())
                elif key == "model name" and model == "unknown processor":
                    model = value.strip()
                elif key == "vendor_id" and not vendor:
                    vendor = value.strip()
                elif key == "cpu family" and not family:
                    family = int(value)
    except (OSError, ValueError):
        pass
    if vendor == "AuthenticAMD" and family < 0x19:
        flags.add("slow_bmi2")
    return flags, model


def available_levels(flags):
    """The levels velk can run here, as it detects them."""
    levels = ["portable"]
    if {"avx2", "bmi1", "bmi2", "popcnt"} <= flags and "slow_bmi2" not in flags:
        levels.append("avx2")
        if {"avx512f", "avx512bw", "avx512vbmi", "avx512_vbmi2"} <= flags:
            levels.append("avx512")
    return levels


def text_block(rng):
    """About 1 MiB of varied lines, so that no short period repeats."""
    lines = []
    size = 0
    while size < MIB:
        words = [rng.choice(WORDS) for _ in range(rng.randint(3, 12))]
        line = (" ".join(words) + "\r\n").encode("cp932")
        lines.append(line)
        size += len(line)
    return b"".join(lines)


def write_repeated(path, block, total, cut=None):
    """Writes block repeatedly up to total bytes; cut(tail) trims the last
    partial copy (to whole lines or records). Returns the size written."""
    written = 0
    with open(path, "wb") as f:
        while written + len(block) <= total:
            f.write(block)
            written += len(block)
        tail = cut(block[:total - written]) if cut else block[:total - written]
        f.write(tail)
        written += len(tail)
    return written


def pattern_text():
    parts = []
    for kind, n in FIELDS:
        letter = kind[0]
        parts.append(letter * (n - 2) + "." + letter * 2 if kind.endswith(".") else letter * n)
    return ",".join(parts)


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
        elif kind[0] == "S":  # signed zoned
            digits = [rng.randint(0, 9) for _ in range(n)]
            out += bytes(0xF0 + d for d in digits[:-1])
            out.append((0xD0 if rng.random() < 0.3 else 0xC0) + digits[-1])
        else:  # packed
            width = n // 2 + 1
            nibbles = [rng.randint(0, 9) for _ in range(2 * width - 1)]
            nibbles.append(0xD if rng.random() < 0.3 else 0xC)
            out += bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, len(nibbles), 2))
    assert len(out) == RECORD
    return bytes(out)


def run_once(argv, stdout_path, env=None):
    """Starts argv with standard output going to a new file stdout_path, or
    to /dev/null when argv writes its own output; returns (seconds, exit
    code). Creating stdout_path is outside the timing."""
    if stdout_path is None:
        out_fd = os.open(os.devnull, os.O_WRONLY)
    else:
        out_fd = os.open(stdout_path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    null_in = os.open(os.devnull, os.O_RDONLY)
    try:
        actions = [(os.POSIX_SPAWN_DUP2, null_in, 0), (os.POSIX_SPAWN_DUP2, out_fd, 1),
                   (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)]
        start = time.perf_counter()
        pid = os.posix_spawnp(argv[0], argv, env or os.environ, file_actions=actions, setsid=True)
        _, status = os.waitpid(pid, 0)
        seconds = time.perf_counter() - start
    finally:
        os.close(out_fd)
        os.close(null_in)
    return seconds, os.waitstatus_to_exitcode(status)


def peak_kib(argv, stdout_path, work, env=None):
    """Peak resident size of argv, read by /usr/bin/time: a small parent, so
    the figure is the command's own (a child of this script would count the
    script's pages too). None when /usr/bin/time is missing."""
    if not os.access(TIME, os.X_OK):
        return None
    report = os.path.join(work, "peak.txt")
    run_once([TIME, "-f", "%M", "-o", report] + argv, stdout_path, env)
    with open(report) as f:
        return int(f.read().split()[-1])


class Timed:
    """One command's runs: input, argv, and where its output goes."""

    def __init__(self, label, input_path, argv, output_path, to_stdout, env=None):
        self.label = label
        self.env = env
        self.input = input_path
        self.argv = argv
        self.output = output_path
        self.to_stdout = to_stdout
        self.seconds = []
        self.peak = None
        self.codes = set()

    def fresh_output(self):
        if self.output is None:  # writes to /dev/null
            return None
        if os.path.exists(self.output):
            os.remove(self.output)
        return self.output if self.to_stdout else None

    def run(self):
        seconds, code = run_once(self.argv, self.fresh_output(), self.env)
        self.seconds.append(seconds)
        self.codes.add(code)

    def measure_peak(self, work):
        """An untimed run that also warms the page cache."""
        self.peak = peak_kib(self.argv, self.fresh_output(), work, self.env)

    def size(self):
        return os.path.getsize(self.input)

    def mbps(self):
        return self.size() / statistics.median(self.seconds) / 1e6

    def peak_text(self):
        return "-" if self.peak is None else f"{self.peak / 1024:.1f}"


def velk_cmd(label, velk, args, input_path, output_path, level):
    return Timed(label, input_path, [velk] + args, output_path, False,
                 {**os.environ, "VELK_SIMD": level})


def tool_cmd(label, argv, output_path):
    return Timed(label, argv[-1], argv, output_path, True)


def pipeline_cmd(label, shell, input_path, output_path, level):
    """A shell pipeline reading input_path, its standard output to a new file."""
    return Timed(label, input_path, ["sh", "-c", shell], output_path, True,
                 {**os.environ, "VELK_SIMD": level})


def strip_line_ends_digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        while chunk := f.read(8 * MIB):
            # Lines end in CR LF, and neither byte is ever a kanji's second byte.
            h.update(chunk.translate(None, b"\r\n"))
    return h.hexdigest()


def file_digest(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        while chunk := f.read(8 * MIB):
            h.update(chunk)
    return h.hexdigest()


def count_lines(path):
    lines = 0
    with open(path, "rb") as f:
        while chunk := f.read(8 * MIB):
            lines += chunk.count(b"\r\n")
    return lines


def make_inputs(work, velk, mib):
    total = mib * MIB
    rng = random.Random(20260306)
    paths = {name: os.path.join(work, name)
             for name in ("text.sjis", "text.jef", "text.930", "text.utf8", "records.jef",
                          "rec.ptn")}
    write_repeated(paths["text.sjis"], text_block(rng), total,
                   cut=lambda tail: tail[:tail.rfind(b"\n") + 1])
    subprocess.run([velk, "s2j", "0", "4", "1", paths["text.sjis"], paths["text.jef"]],
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, check=True,
                   start_new_session=True)
    with open(paths["text.930"], "wb") as out:
        subprocess.run(["iconv", "-f", "CP932", "-t", "IBM-930", paths["text.sjis"]],
                       stdout=out, check=True)
    with open(paths["text.utf8"], "wb") as out:
        subprocess.run(["iconv", "-f", "CP932", "-t", "UTF-8", paths["text.sjis"]],
                       stdout=out, check=True)
    block = b"".join(record(rng) for _ in range(512))
    write_repeated(paths["records.jef"], block, total - total % RECORD)
    with open(paths["rec.ptn"], "w") as f:
        f.write(pattern_text() + "\n")
    return paths


def ratio_to(paired_a, paired_b):
    """Median of b's time over a's time, run by run: how fast a is beside b."""
    return statistics.median(b / a for a, b in zip(paired_a, paired_b))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--velk", default=os.path.join(here, "..", "build-release", "velk"))
    parser.add_argument("--mib", type=int, default=64, help="size of each input (64)")
    parser.add_argument("--runs", type=int, default=5, help="timed runs of velk and cat (5)")
    parser.add_argument("--iconv-runs", type=int, default=3,
                        help="timed runs of each iconv (3; it is slow)")
    parser.add_argument("--dir", default=None, help="where the files go (default: $TMPDIR or /tmp)")
    parser.add_argument("--simd", choices=LEVELS, default=None,
                        help="time this fast-path level only (default: every level the processor has)")
    parser.add_argument("--baseline", default=None,
                        help="an older velk binary to time beside the portable level "
                             "(s2j and both j2s runs), in the same run")
    opts = parser.parse_args()
    velk = os.path.abspath(opts.velk)
    if not os.access(velk, os.X_OK):
        sys.exit(f"no velk binary at {velk}: build it first (bench/run.sh does)")
    for tool in ("iconv", "cat"):
        if shutil.which(tool) is None:
            sys.exit(f"{tool} is not on PATH")

    work = tempfile.mkdtemp(prefix="velk-bench-", dir=opts.dir)
    log_dir = os.path.dirname(velk)
    logs_before = set(os.listdir(log_dir))
    try:
        load_before = os.getloadavg()
        print(f"generating {opts.mib} MiB inputs in {work} ...", flush=True)
        p = make_inputs(work, velk, opts.mib)
        out = lambda name: os.path.join(work, name)

        flags, model = cpu_flags()
        levels = available_levels(flags)
        if opts.simd:
            if opts.simd not in levels:
                sys.exit(f"this processor ({model}) lacks the {opts.simd} level; it has "
                         + ", ".join(levels))
            levels = [opts.simd]
        # Each level's commands; cat and iconv are timed beside them in the same run.
        velks, nulls, cats = {}, {}, {}
        for level in levels:
            velks[level] = (
                velk_cmd("velk s2j 0 4 1", velk, ["s2j", "0", "4", "1", p["text.sjis"], out("s2j.out")],
                         p["text.sjis"], out("s2j.out"), level),
                velk_cmd("velk j2s 0 3 0", velk, ["j2s", "0", "3", "0", p["text.jef"], out("stream.out")],
                         p["text.jef"], out("stream.out"), level),
                velk_cmd("velk j2s 0 3 1 PTN 0 1", velk,
                         ["j2s", "0", "3", "1", p["records.jef"], out("pattern.out"), p["rec.ptn"], "0", "1"],
                         p["records.jef"], out("pattern.out"), level),
                velk_cmd("velk u2j 0 4 1", velk, ["u2j", "0", "4", "1", p["text.utf8"], out("u2j.out")],
                         p["text.utf8"], out("u2j.out"), level),
                velk_cmd("velk j2u 0 3 0", velk, ["j2u", "0", "3", "0", p["text.jef"], out("j2u.out")],
                         p["text.jef"], out("j2u.out"), level),
                velk_cmd("velk j2u 0 3 1 PTN 0 1", velk,
                         ["j2u", "0", "3", "1", p["records.jef"], out("j2u-pattern.out"), p["rec.ptn"], "0", "1"],
                         p["records.jef"], out("j2u-pattern.out"), level))
            for c in velks[level]:
                # The same conversion into /dev/null: its speed without the file system.
                nulls[c] = Timed(c.label, c.input, [os.devnull if a == c.output else a for a in c.argv],
                                 None, False, c.env)
                cats[c] = tool_cmd(f"cat {os.path.basename(c.input)}", ["cat", c.input], out("cat.out"))
        to_ibm = tool_cmd("iconv -f CP932 -t IBM-930",
                          ["iconv", "-f", "CP932", "-t", "IBM-930", p["text.sjis"]], out("iconv.out"))
        from_ibm = tool_cmd("iconv -f IBM-930 -t CP932",
                            ["iconv", "-f", "IBM-930", "-t", "CP932", p["text.930"]], out("iconv.out"))
        # The way u2j replaces: iconv to Shift-JIS, then s2j on its output.
        from_utf8 = tool_cmd("iconv -f UTF-8 -t CP932",
                             ["iconv", "-f", "UTF-8", "-t", "CP932", p["text.utf8"]], out("iconv.out"))
        # The way j2u replaces: j2s, then iconv from Shift-JIS to UTF-8.
        to_utf8 = tool_cmd("iconv -f CP932 -t UTF-8",
                           ["iconv", "-f", "CP932", "-t", "UTF-8", p["text.sjis"]], out("iconv.out"))
        iconvs = [to_ibm, from_ibm, from_utf8, to_utf8]
        # What j2u and u2j replace, run as the pipelines they are (both sides
        # at once where there are two cores).
        pipes = {level: (
            pipeline_cmd("iconv -f UTF-8 -t CP932 | velk s2j",
                         f'iconv -f UTF-8 -t CP932 "{p["text.utf8"]}" | "{velk}" s2j 0 4 1 - -',
                         p["text.utf8"], out("pipe.out"), level),
            pipeline_cmd("velk j2s | iconv -f CP932 -t UTF-8",
                         f'"{velk}" j2s 0 3 0 "{p["text.jef"]}" - | iconv -f CP932 -t UTF-8',
                         p["text.jef"], out("pipe.out"), level)) for level in levels}

        # An older binary's s2j and j2s runs, its outputs written apart.
        base = ()
        if opts.baseline:
            old = os.path.abspath(opts.baseline)
            base = tuple(
                velk_cmd(c.label, old, [out("base." + os.path.basename(a)) if a == c.output else a
                                        for a in c.argv[1:]],
                         c.input, out("base." + os.path.basename(c.output)), "portable")
                for c in velks[levels[0]][:3])
        every = [c for level in levels for c in velks[level]]
        for cmd in every + [nulls[c] for c in every] + [cats[c] for c in every] + iconvs:
            cmd.measure_peak(work)
        print(f"levels: {', '.join(levels)} on {model}; "
              f"timing: {opts.runs} runs of velk and cat, {opts.iconv_runs} of each iconv ...", flush=True)
        checks = []
        load_after = None
        for i in range(opts.runs):
            for level in levels:
                for cmd in velks[level]:
                    cats[cmd].run()
                    cmd.run()
                    nulls[cmd].run()
                # The last run's outputs of each level must be right, or their
                # speed means nothing.
                if i == opts.runs - 1:
                    s2j, stream, pattern, u2j, j2u, j2u_pattern = velks[level]
                    if file_digest(out("stream.out")) != strip_line_ends_digest(p["text.sjis"]):
                        checks.append(f"{level}: s2j then j2s did not give back the text")
                    records = os.path.getsize(p["records.jef"]) // RECORD
                    if count_lines(out("pattern.out")) != records:
                        checks.append(f"{level}: the pattern run did not write one line per record")
                    if file_digest(out("u2j.out")) != file_digest(out("s2j.out")):
                        checks.append(f"{level}: u2j on the UTF-8 text did not give what s2j gives")
                    # text.jef is what u2j makes of text.utf8 (checked above), so this
                    # is also the round trip UTF-8 -> u2j -> j2u.
                    if file_digest(out("j2u.out")) != strip_line_ends_digest(p["text.utf8"]):
                        checks.append(f"{level}: j2u did not give back the UTF-8 text (line ends aside)")
                    with open(out("iconv-pattern.out"), "wb") as f:
                        subprocess.run(["iconv", "-f", "CP932", "-t", "UTF-8", out("pattern.out")], stdout=f)
                    if file_digest(out("j2u-pattern.out")) != file_digest(out("iconv-pattern.out")):
                        checks.append(f"{level}: j2u with the pattern did not give iconv's UTF-8 of j2s's output")
                    digests = tuple(file_digest(out(n)) for n in ("s2j.out", "stream.out", "pattern.out", "u2j.out",
                                                                  "j2u.out", "j2u-pattern.out"))
                    if level == levels[0]:
                        first_digests = digests
                    elif digests != first_digests:
                        checks.append(f"{level}: output differs from the {levels[0]} level's")
            for b in base:
                b.run()
            if base and i == opts.runs - 1:
                for b, c in zip(base, velks[levels[0]]):
                    if file_digest(b.output) != file_digest(c.output):
                        checks.append(f"baseline: {b.label} wrote other bytes than this velk")
            if i < opts.iconv_runs:
                for cmd in iconvs + [c for level in levels for c in pipes[level]]:
                    cmd.run()
        load_after = os.getloadavg()

        runs = every + [nulls[c] for c in every] + list(base)
        if any(c.codes != {0} for c in runs):
            checks.append("a velk run did not exit with 0: " +
                          ", ".join(f"{c.label}: {sorted(c.codes)}" for c in runs))
        if any(c.codes != {0} for c in iconvs + [c for level in levels for c in pipes[level]]):
            checks.append("iconv or a pipeline with it failed")

        print()
        print(f"velk: {velk}")
        print(f"machine: {model}, {os.cpu_count()} cores; load average (1, 5, 15 min) "
              f"before {load_before[0]:.2f} {load_before[1]:.2f} {load_before[2]:.2f}, "
              f"after {load_after[0]:.2f} {load_after[1]:.2f} {load_after[2]:.2f}")
        print(f"each run writes a new output file (the old one is removed before the run, "
              f"untimed); MB/s = 10^6 input bytes per second, median of {opts.runs} runs "
              f"(iconv: {opts.iconv_runs}); peak = largest resident size, from one more run "
              f"under {TIME}")
        for level in levels:
            print()
            print(f"level {level} (VELK_SIMD={level})")
            head = (f"{'command':<26}{'input MiB':>10}{'MB/s':>8}{'peak MiB':>10}"
                    f"{'x iconv':>9}{'x cat':>7}{'target':>8}  met{'to /dev/null':>14}")
            print(head)
            print("-" * len(head))
            for k, cmd in enumerate(velks[level]):
                iconv = (to_ibm, from_ibm, from_ibm, from_utf8, to_utf8, to_utf8)[k]
                x_iconv = cmd.mbps() / iconv.mbps()
                x_cat = ratio_to(cmd.seconds, cats[cmd].seconds)
                target = TARGETS[level][k]
                met = "-  " if target is None else ("yes" if cmd.mbps() >= target else "NO ")
                print(f"{cmd.label:<26}{cmd.size() / MIB:>10.1f}{cmd.mbps():>8.0f}{cmd.peak_text():>10}"
                      f"{x_iconv:>9.1f}{x_cat:>7.2f}{'-' if target is None else target:>8}  {met:<3}"
                      f"{nulls[cmd].mbps():>9.0f} MB/s")
            s2j, u2j = velks[level][0], velks[level][3]
            u2j_time = statistics.median(u2j.seconds)
            s2j_time = statistics.median(s2j.seconds)
            pipeline = statistics.median(pipes[level][0].seconds)
            print(f"u2j beside s2j on the same text: {u2j_time / s2j_time:.2f} x s2j's time "
                  f"(to /dev/null: {statistics.median(nulls[u2j].seconds) / statistics.median(nulls[s2j].seconds):.2f} x); "
                  f"{pipeline / u2j_time:.1f} x faster than the pipeline {pipes[level][0].label}")
            stream, pattern, j2u, j2u_pattern = (velks[level][k] for k in (1, 2, 4, 5))
            j2u_time = statistics.median(j2u.seconds)
            j2s_time = statistics.median(stream.seconds)
            pipeline = statistics.median(pipes[level][1].seconds)
            print(f"j2u beside j2s on the same JEF: {j2u_time / j2s_time:.2f} x j2s's time "
                  f"(to /dev/null: {statistics.median(nulls[j2u].seconds) / statistics.median(nulls[stream].seconds):.2f} x); "
                  f"{pipeline / j2u_time:.1f} x faster than the pipeline {pipes[level][1].label}")
            print(f"j2u with the pattern beside j2s with it: "
                  f"{statistics.median(j2u_pattern.seconds) / statistics.median(pattern.seconds):.2f} x "
                  f"(to /dev/null: {statistics.median(nulls[j2u_pattern].seconds) / statistics.median(nulls[pattern].seconds):.2f} x)")
        if base:
            print()
            print(f"baseline {os.path.abspath(opts.baseline)}, beside the {levels[0]} level:")
            for b, c in zip(base, velks[levels[0]]):
                print(f"{b.label:<26}{b.mbps():>8.0f} MB/s; {levels[0]} level "
                      f"{ratio_to(c.seconds, b.seconds):.2f} x its speed (paired run by run)")
        print()
        print("yardsticks, same run:")
        seen = set()
        for cmd in iconvs + [cats[c] for c in every]:
            if cmd.label in seen:
                continue
            seen.add(cmd.label)
            timed = [c for c in [cats[x] for x in every] if c.label == cmd.label] or [cmd]
            mbps = statistics.median(cmd.size() / t / 1e6 for c in timed for t in c.seconds)
            print(f"{cmd.label:<26}{cmd.size() / MIB:>10.1f}{mbps:>8.0f}{cmd.peak_text():>10}")
        print()
        print("x iconv: velk's MB/s over iconv's (CP932 -> IBM-930 for s2j, on the same file; "
              "IBM-930 -> CP932 for j2s, on the same text in IBM-930, since iconv has no JEF; "
              "UTF-8 -> CP932 for u2j, on the same file; CP932 -> UTF-8 for j2u, on the "
              "same text in Shift-JIS)")
        print("to /dev/null: the same conversion writing to /dev/null, without the file system")
        print("x cat: velk's speed as a share of `cat input > new file` on the same input, "
              "paired run by run with this level's runs (1.00 = the disk/memory ceiling)")
        if checks:
            print("FAILED: " + "; ".join(checks))
            return 1
        print("outputs checked: s2j -> j2s gives back the text; one line per record; "
              "u2j gives what s2j gives; u2j -> j2u gives back the UTF-8 text; j2u with the "
              "pattern gives iconv's UTF-8 of j2s's; every level's outputs are the same bytes")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)
        # A j2s or j2u run keeps an error log beside the binary only after conversion errors.
        for name in set(os.listdir(log_dir)) - logs_before:
            if name.startswith("VELK_LOG_"):
                os.remove(os.path.join(log_dir, name))


if __name__ == "__main__":
    sys.exit(main())
