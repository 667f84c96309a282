#!/usr/bin/env python3
"""Writes ZIP archives byte by byte, including broken and hostile ones.

usage: make_archive.py KIND OUTPUT [ARG]
Each KIND is one archive layout the reader must handle or refuse.
"""
import struct
import sys
import zlib

UNIX = 3 << 8
DOS = 0


def entry(name, data=b"", method=8, mode=None, folder=False, **kw):
    e = dict(name=name if isinstance(name, bytes) else name.encode(), data=data,
             method=method, folder=folder, made_by=UNIX if mode is not None else DOS,
             attr=0x10 if folder else 0, flags=0, crc=None, size=None,
             descriptor=None, time=(2001, 2, 3, 4, 5, 6))
    if mode is not None:
        e["attr"] |= mode << 16
    e.update(kw)
    return e


def dos_time(t):
    y, mo, d, h, mi, s = t
    return (h << 11) | (mi << 5) | (s // 2), ((y - 1980) << 9) | (mo << 5) | d


def zip64_size(size):
    """A ZIP64 extra field declaring an uncompressed size of `size` bytes."""
    return struct.pack("<HHQ", 0x0001, 8, size)


def build(entries, comment=b""):
    out, central = bytearray(), bytearray()
    for e in entries:
        raw = e["data"]
        if e["method"] == 8:
            c = zlib.compressobj(6, zlib.DEFLATED, -15)
            body = c.compress(raw) + c.flush()
        else:
            body = raw
        crc = zlib.crc32(raw) if e["crc"] is None else e["crc"]
        size = len(raw) if e["size"] is None else e["size"]
        flags = e["flags"] | (0x08 if e["descriptor"] is not None else 0)
        if any(b >= 0x80 for b in e["name"]) and e.get("utf8", True):
            flags |= 0x800
        t, d = dos_time(e["time"])
        offset = len(out)
        local = (0, 0, 0) if e["descriptor"] is not None else (crc, len(body), size)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, e["method"], t, d,
                           *local, len(e["name"]), 0) + e["name"] + body
        if e["descriptor"] == "signed":
            out += struct.pack("<I", 0x08074B50)
        if e["descriptor"] is not None:
            out += struct.pack("<III", crc, len(body), size)
        extra = zip64_size(e["zip64"]) if e.get("zip64") else b""
        sizes = (len(body), 0xFFFFFFFF) if extra else (len(body), size)
        version = 45 if extra else 20
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, e["made_by"] | version, version,
                               flags, e["method"], t, d, crc, *sizes,
                               len(e["name"]), len(extra), 0, 0, 0, e["attr"], offset)
        central += e["name"] + extra
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries),
                      len(central), len(out), len(comment))
    return bytes(out + central + end + comment)


TEXT = b"line of text\n" * 700
KINDS = {
    "descriptor-unsigned": lambda: [entry("a.txt", TEXT, descriptor="unsigned"),
                                    entry("b.bin", bytes(range(256)) * 9, method=0,
                                          descriptor="unsigned")],
    "descriptor-signed": lambda: [entry("a.txt", TEXT, descriptor="signed")],
    "bad-crc": lambda: [entry("good.txt", b"fine\n"),
                        entry("bad.txt", TEXT, crc=zlib.crc32(TEXT) ^ 1),
                        entry("long.txt", TEXT, size=100)],
    "slip": lambda: [entry("../x", b"evil"), entry("C:\\abs", b"evil"),
                     entry("a/../../y", b"evil"), entry("..\\z", b"evil"),
                     entry("ok.txt", b"kept")],
    "rooted": lambda: [entry(sys.argv[3] + "/abs", b"abs"), entry("\\\\server\\unc.txt", b"unc"),
                       entry("//twice/t.txt", b"twice"), entry("/top/", folder=True),
                       entry("/../up", b"evil"), entry("\\..\\up2", b"evil")],
    "names": lambda: [entry("d1\\d2\\back.txt", b"back"), entry("f1/f2/fwd.txt", b"fwd"),
                      entry("caf\x82.txt".encode("latin-1"), b"cp437", utf8=False),
                      entry("d\u00e9j\u00e0.txt", b"utf8"),
                      entry("late/inner.txt", b"inner"), entry("late/", folder=True),
                      entry("empty-folder/", folder=True)],
    "modes": lambda: [entry("run.sh", b"#!/bin/sh\n", mode=0o104755),
                      entry("wide.sh", b"#!/bin/sh\n", mode=0o100777),
                      entry("open/", folder=True, mode=0o40777),
                      entry("ro.txt", b"ro", method=0, attr=0x01),
                      entry("link", b"/etc/passwd", method=0, mode=0o120777)],
    "too-long": lambda: [entry("long.txt", TEXT, size=100)],
    "too-short": lambda: [entry("short.txt", TEXT, size=len(TEXT) + 5)],
    "huge": lambda: [entry("h%03d" % i, b"", method=0, size=0xFFFFFFF0, crc=0)
                     for i in range(250)],
    "comment": lambda: [entry("c.txt", TEXT)],
    # Two entries of 2^63 bytes: their sum wraps round to zero in 64 bits.
    "wrapping": lambda: [entry("w%d" % i, b"", zip64=1 << 63, crc=0)
                         for i in range(2)] + [entry("small.txt", b"small")],
}

if __name__ == "__main__":
    kind, path = sys.argv[1], sys.argv[2]
    data = build(KINDS[kind](), comment=b"C" * 100 if kind == "comment" else b"")
    with open(path, "wb") as f:
        f.write(data)
