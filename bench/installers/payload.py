#!/usr/bin/env python3
"""payload.py gen KIND DIR SCALE   writes a payload; prints files and bytes
payload.py check PAYLOAD INSTALLED [EXTRA...]   byte-for-byte comparison
payload.py summary RESULTS BASE            the table of one payload
payload.py stamp START                     standard input's lines, each after its time since START (s)
payload.py phases STAMPED WALL             a ferry run's start-up, verification and work (s), or "- - -"
payload.py requests TRACE                  the setup's requests in a wine server trace, by name
payload.py per-file ONE MANY FILES NAME    requests per file between two counts

KIND "mixed": 2,000 files, 200 MiB: word-like text, repetitive game-like
records, random bytes, and three files of 20, 30 and 60 MiB. KIND "small":
20,000 files of 1-8 KiB. SCALE multiplies the file counts and sizes. The
same KIND and SCALE always give the same bytes (fixed seeds)."""
import collections
import os
import random
import re
import statistics
import struct
import sys
import time

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
    # Lines: system round wall cpu server peak_kib size compile startup verify work
    # (the phases "-" where the run names none)
    rows = {}
    order = []
    for line in open(path):
        f = line.split()
        if f[0] not in rows:
            rows[f[0]] = []
            order.append(f[0])
        rows[f[0]].append([float(v) if v != "-" else None for v in f[2:]])

    def median(values):
        values = [v for v in values if v is not None]
        return statistics.median(values) if values else None
    med = {}
    for name in order:
        r = rows[name]
        med[name] = (median(x[0] for x in r), median(x[1] + x[2] for x in r), median(x[2] for x in r),
                     max(x[3] for x in r), r[0][4], r[0][5], [median(x[6 + k] for x in r) for k in range(3)])
    print("  %-11s %7s %7s %8s %9s %12s %8s  %-16s  %s" % (
        "system", "wall s", "cpu s", "server s", "peak MiB", "setup bytes", "compile",
        "start/verify/work", "vs %s: wall cpu server size" % base))
    b = med[base]

    def ratio(a, z):
        return "%.2fx" % (a / z) if z else "-"
    for name in order:
        wall, cpu, server, peak, size, comp, phases = med[name]
        shown = "/".join("%.2f" % v for v in phases) if phases[0] is not None else "-"
        print("  %-11s %7.2f %7.2f %8.2f %9.1f %12d %7.1fs  %-16s  %s %s %s %s" % (
            name, wall, cpu, server, peak / 1024, size, comp, shown, ratio(wall, b[0]), ratio(cpu, b[1]),
            ratio(server, b[2]), ratio(size, b[4])))


def stamp(start):
    out = sys.stdout.buffer
    for line in sys.stdin.buffer:
        out.write(b"%.3f " % (time.time() - start) + line)
        out.flush()


# The stub's lines that end start-up and verification.
VERIFY_START = re.compile(rb"^([0-9.]+) Verifying Contents: Status: 0 out of")
VERIFY_END = re.compile(rb"^([0-9.]+) Verifying Contents: Status: (\d+) out of (\d+) files")


def phases(stamped, wall):
    began = ended = None
    for line in open(stamped, "rb"):
        m = VERIFY_START.match(line)
        if m and began is None:
            began = float(m.group(1))
        m = VERIFY_END.match(line)
        if m and m.group(2) == m.group(3):
            ended = float(m.group(1))
    if began is None or ended is None:
        print("- - -")
    else:
        print("%.2f %.2f %.2f" % (began, ended - began, max(0.0, float(wall) - ended)))


# A request line of a trace: "0024: create_file( access=... )"; its reply
# reads "0024: create_file() = 0 { ... }". Threads are told apart by the
# first field; a process's first thread names its pid in its first reply,
# and a new thread belongs to the process of the thread that made it.
REQUEST = re.compile(r"^([0-9a-f]+): ([a-z0-9_]+)\((?!\) = )")
FIRST_THREAD = re.compile(r"^([0-9a-f]+): init_first_thread\(\) = 0 \{ pid=([0-9a-f]+)")
NEW_THREAD = re.compile(r"^([0-9a-f]+): new_thread\(\) = 0 \{ tid=([0-9a-f]+)")


def requests(trace):
    """The requests of the process that created the most files (the setup).
    Each request counts for the process its thread belongs to at that line:
    the server hands a finished thread's id to the next new thread, often of
    another process (wineboot's, the services' idle waits)."""
    process = {}
    by_process = collections.defaultdict(collections.Counter)
    with open(trace, errors="replace") as f:
        for line in f:
            m = REQUEST.match(line)
            if m:
                by_process[process.get(m.group(1), m.group(1))][m.group(2)] += 1
                continue
            m = FIRST_THREAD.match(line)
            if m:
                process[m.group(1)] = m.group(2)
                continue
            m = NEW_THREAD.match(line)
            if m:
                process[m.group(2)] = process.get(m.group(1), m.group(1))
    setup = max(by_process.values(), key=lambda c: c["create_file"])
    for name, n in setup.most_common():
        print(n, name)


def per_file(one, many, files, name):
    def load(path):
        return {f[1]: int(f[0]) for f in (line.split() for line in open(path))}
    a, b = load(one), load(many)
    total = (sum(b.values()) - sum(a.values())) / files
    by_name = sorted(((b.get(k, 0) - a.get(k, 0)) / files, k) for k in set(a) | set(b))
    top = ", ".join("%s %.1f" % (k, v) for v, k in reversed(by_name[-8:]) if v >= 0.05)
    print("  %-11s %6.1f per file   (%s)" % (name, total, top))


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "gen":
        gen(sys.argv[2], sys.argv[3], float(sys.argv[4]))
    elif cmd == "check":
        check(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif cmd == "summary":
        summary(sys.argv[2], sys.argv[3])
    elif cmd == "stamp":
        stamp(float(sys.argv[2]))
    elif cmd == "phases":
        phases(sys.argv[2], sys.argv[3])
    elif cmd == "requests":
        requests(sys.argv[2])
    elif cmd == "per-file":
        per_file(sys.argv[2], sys.argv[3], float(sys.argv[4]), sys.argv[5])
    else:
        sys.exit(__doc__)
