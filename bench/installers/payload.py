#!/usr/bin/env python3
"""payload.py gen KIND DIR SCALE   writes a payload; prints files and bytes
payload.py check PAYLOAD INSTALLED [EXTRA...]   byte-for-byte comparison
payload.py summary RESULTS BASE            the table of one payload

KIND "mixed": 2,000 files, 200 MiB: word-like text, repetitive game-like
records, random bytes, and three files of 20, 30 and 60 MiB. KIND "small":
20,000 files of 1-8 KiB. SCALE multiplies the file counts and sizes. The
same KIND and SCALE always give the same bytes (fixed seeds)."""
import os
import random
import statistics
import struct
import sys

MIB = 1 << 20


def text_source(rnd):
    words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9)))
             for _ in range(4000)]
    out = bytearray()
    while len(out) < 4 * MIB:
        out += rnd.choice(words) + (b"\r\n" if rnd.random() < 0.08 else b" ")
    return bytes(out)


def game_source(rnd):
    # Tile maps and vertex records: fixed layouts, few distinct values.
    out = bytearray()
    while len(out) < 4 * MIB:
        x, y = rnd.randint(0, 255), rnd.randint(0, 255)
        tile = rnd.choice((0, 0, 0, 1, 1, 2, 7, 12))
        for i in range(rnd.randint(16, 256)):
            out += struct.pack("<HHBBHfff", x + i % 16, y + i // 16, tile, i & 3, 0xFFFF,
                               (x + i) * 0.5, y * 0.25, 0.0)
    return bytes(out)


def piece(rnd, kind, size, sources):
    if kind == "random":
        return rnd.randbytes(size)
    src = sources[kind]
    if size <= len(src):
        start = rnd.randrange(0, len(src) - size + 1)
        return src[start:start + size]
    return (src * (size // len(src) + 1))[:size]


def gen(kind, out, scale):
    rnd = random.Random(15 if kind == "mixed" else 16)
    sources = {"text": text_source(rnd), "game": game_source(rnd)}
    files = []  # (size, kind)
    if kind == "mixed":
        count = max(4, round(2000 * scale))
        big = [(round(60 * MIB * scale), "game"), (round(30 * MIB * scale), "text"),
               (round(20 * MIB * scale), "random")]
        rest = round(200 * MIB * scale) - sum(s for s, _ in big)
        weights = [rnd.lognormvariate(0, 1.2) for _ in range(count - len(big))]
        total_w = sum(weights)
        kinds = ["text"] * 4 + ["game"] * 4 + ["random"] * 2
        files = big + [(max(1, int(rest * w / total_w)), rnd.choice(kinds)) for w in weights]
        rnd.shuffle(files)
        per_folder = 50
    elif kind == "small":
        count = max(1, round(20000 * scale))
        kinds = ["text"] * 5 + ["game"] * 4 + ["random"]
        files = [(rnd.randint(1024, 8192), rnd.choice(kinds)) for _ in range(count)]
        per_folder = 100
    else:
        sys.exit("unknown payload kind " + kind)
    os.makedirs(out)
    total = 0
    for i, (size, k) in enumerate(files):
        folder = os.path.join(out, "d%03d" % (i // per_folder // 10), "s%04d" % (i // per_folder))
        os.makedirs(folder, exist_ok=True)
        ext = {"text": "txt", "game": "map", "random": "pak"}[k]
        with open(os.path.join(folder, "f%05d.%s" % (i, ext)), "wb") as f:
            f.write(piece(rnd, k, size, sources))
        total += size
    print(len(files), total)


def check(payload, installed, extra):
    def tree(root):
        found = set()
        for d, _, names in os.walk(root):
            for n in names:
                found.add(os.path.relpath(os.path.join(d, n), root))
        return found
    want, got = tree(payload), tree(installed)
    missing = sorted(want - got)
    unexpected = sorted(got - want - set(extra))
    if missing or unexpected:
        sys.exit("installed tree differs: %d missing (%s), %d unexpected (%s)" % (
            len(missing), missing[:3], len(unexpected), unexpected[:3]))
    for rel in sorted(want):
        with open(os.path.join(payload, rel), "rb") as a, open(os.path.join(installed, rel), "rb") as b:
            while True:
                x, y = a.read(MIB), b.read(MIB)
                if x != y:
                    sys.exit("installed file differs: " + rel)
                if not x:
                    break


def summary(path, base):
    # Lines: system round wall cpu server peak_kib size compile
    rows = {}
    order = []
    for line in open(path):
        f = line.split()
        if f[0] not in rows:
            rows[f[0]] = []
            order.append(f[0])
        rows[f[0]].append([float(v) for v in f[2:]])
    med = {}
    for name in order:
        r = rows[name]
        med[name] = (statistics.median(x[0] for x in r), statistics.median(x[1] + x[2] for x in r),
                     max(x[3] for x in r), r[0][4], r[0][5])
    print("  %-11s %8s %8s %9s %12s %8s   %s" % ("system", "wall s", "cpu s", "peak MiB", "setup bytes",
                                                   "compile", "vs %s: wall cpu size" % base))
    b = med[base]
    for name in order:
        wall, cpu, peak, size, comp = med[name]
        print("  %-11s %8.2f %8.2f %9.1f %12d %7.1fs   %.2fx %.2fx %.2fx" % (
            name, wall, cpu, peak / 1024, size, comp, wall / b[0], cpu / b[1] if b[1] else 0, size / b[3]))


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "gen":
        gen(sys.argv[2], sys.argv[3], float(sys.argv[4]))
    elif cmd == "check":
        check(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif cmd == "summary":
        summary(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
