#!/usr/bin/env python3
"""Writes src/tblutf/cp932_data.cpp: Windows code page 932 <-> Unicode as
glibc's iconv CP932 converter maps it, asked one code at a time through
libc's iconv(3).

  scripts/gen_cp932.py [OUT]        write OUT (default: the file above)
  scripts/gen_cp932.py --check FILE regenerate and compare with FILE:
                                    exit 0 same, 1 different, 77 no CP932 here

The C++ side rebuilds both directions from three lists:
  kRuns     every defined Shift-JIS code in order, grouped in runs of
            consecutive codes; a run either counts its code points up from
            a first one or takes them from kCodePoints in order;
  kBack     code point -> Shift-JIS where iconv's way back is not the lowest
            Shift-JIS code of that code point, or the code point is not
            reached from Shift-JIS at all (one-way mappings).
"""
import ctypes
import ctypes.util
import os
import struct
import sys

MIN_COUNTED_RUN = 4  # shorter arithmetic stretches are cheaper as a list


def open_libc():
    libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
    libc.iconv_open.restype = ctypes.c_void_p
    libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    libc.iconv.restype = ctypes.c_size_t
    p = ctypes.POINTER
    libc.iconv.argtypes = [ctypes.c_void_p, p(ctypes.c_char_p), p(ctypes.c_size_t),
                           p(ctypes.c_char_p), p(ctypes.c_size_t)]
    return libc


class Converter:
    def __init__(self, libc, to, frm):
        self.libc = libc
        self.cd = libc.iconv_open(to, frm)
        if self.cd in (None, ctypes.c_void_p(-1).value, 2**64 - 1):
            raise OSError("iconv_open %s -> %s" % (frm.decode(), to.decode()))
        self.out = ctypes.create_string_buffer(64)

    def __call__(self, data):
        """The whole of data converted, or None when iconv refuses any of it."""
        lib = self.libc
        lib.iconv(self.cd, None, None, None, None)
        inb = ctypes.create_string_buffer(data, len(data))
        ip = ctypes.c_char_p(ctypes.addressof(inb))
        il = ctypes.c_size_t(len(data))
        op = ctypes.c_char_p(ctypes.addressof(self.out))
        ol = ctypes.c_size_t(64)
        r = lib.iconv(self.cd, ctypes.byref(ip), ctypes.byref(il), ctypes.byref(op),
                      ctypes.byref(ol))
        if r == ctypes.c_size_t(-1).value or il.value != 0:
            return None
        # Flush any shift state; CP932 has none, but be exact.
        lib.iconv(self.cd, None, None, ctypes.byref(op), ctypes.byref(ol))
        return self.out.raw[:64 - ol.value]


def sjis_candidates():
    for b in range(0x100):
        yield b, bytes([b])
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        for trail in range(0x40, 0xFD):
            if trail != 0x7F:
                yield (lead << 8) | trail, bytes([lead, trail])


def build():
    libc = open_libc()
    try:
        to_u = Converter(libc, b"UTF-32LE", b"CP932")
        to_s = Converter(libc, b"CP932", b"UTF-32LE")
    except OSError:
        return None
    forward = {}
    for code, raw in sjis_candidates():
        u = to_u(raw)
        if u is not None and len(u) == 4:
            forward[code] = struct.unpack("<I", u)[0]
    back = {}
    for cp in range(0x110000):
        if 0xD800 <= cp <= 0xDFFF:
            continue
        s = to_s(struct.pack("<I", cp))
        if s:
            back[cp] = int.from_bytes(s, "big")
    return forward, back


def render(forward, back):
    codes = sorted(forward)
    if any(cp > 0xFFFF for cp in forward.values()) or any(cp > 0xFFFF for cp in back):
        raise SystemExit("code points beyond the BMP: the table layout needs widening")
    # Runs of consecutive Shift-JIS codes, cut where an arithmetic stretch starts or ends.
    runs, listed = [], []
    i = 0
    while i < len(codes):
        j = i
        while (j + 1 < len(codes) and codes[j + 1] == codes[j] + 1
               and forward[codes[j + 1]] == forward[codes[j]] + 1):
            j += 1
        if j - i + 1 >= MIN_COUNTED_RUN:
            runs.append((codes[i], j - i + 1, True, forward[codes[i]]))
            i = j + 1
            continue
        # A listed run: up to the next gap in the codes or the next counted stretch.
        start = i
        while True:
            listed.append(forward[codes[i]])
            i += 1
            if i == len(codes) or codes[i] != codes[i - 1] + 1:
                break
            k = i
            while (k + 1 < len(codes) and codes[k + 1] == codes[k] + 1
                   and forward[codes[k + 1]] == forward[codes[k]] + 1):
                k += 1
            if k - i + 1 >= MIN_COUNTED_RUN:
                break
        runs.append((codes[start], i - start, False, len(listed) - (i - start)))
    lowest = {}
    for code in reversed(codes):
        lowest[forward[code]] = code
    extra = sorted((cp, s) for cp, s in back.items() if lowest.get(cp) != s)
    missing = sorted(cp for cp in lowest if cp not in back)
    if missing:
        raise SystemExit("iconv has no way back for %s" % missing)

    out = []
    w = out.append
    w("// Generated by scripts/gen_cp932.py from glibc's iconv CP932 converter; do not edit.")
    w("// Regenerate with: python3 scripts/gen_cp932.py")
    w('#include "tblutf/cp932_data.h"')
    w("")
    w("namespace velk::cp932 {")
    w("")
    w("const Run kRuns[] = {")
    for code, n, counted, value in runs:
        w("    {0x%04X, %d, %s, %d}," % (code, n, "true" if counted else "false", value)
          if not counted else "    {0x%04X, %d, true, 0x%04X}," % (code, n, value))
    w("};")
    w("const std::size_t kRunCount = sizeof kRuns / sizeof kRuns[0];")
    w("")
    w("const std::uint16_t kCodePoints[] = {")
    for k in range(0, len(listed), 12):
        w("    " + " ".join("0x%04X," % cp for cp in listed[k:k + 12]))
    w("};")
    w("")
    w("const BackEntry kBack[] = {")
    for cp, s in extra:
        w("    {0x%04X, 0x%04X}," % (cp, s))
    w("};")
    w("const std::size_t kBackCount = sizeof kBack / sizeof kBack[0];")
    w("")
    w("}  // namespace velk::cp932")
    return "\n".join(out) + "\n"


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    check = len(argv) >= 2 and argv[0] == "--check"
    target = argv[1] if check else (argv[0] if argv else
                                    os.path.join(root, "src/tblutf/cp932_data.cpp"))
    tables = build()
    if tables is None:
        print("glibc's CP932 converter is not installed here")
        return 77 if check else 2
    text = render(*tables)
    if check:
        with open(target, encoding="ascii") as f:
            same = f.read() == text
        print("same as the committed table" if same else "differs from the committed table")
        return 0 if same else 1
    with open(target, "w", encoding="ascii") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
