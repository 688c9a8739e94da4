#!/usr/bin/env python3
"""payload.py CASE DIR: writes DIR/base (the earlier release) and DIR/new.

  scattered  one 200 MiB file; new: 1% of its bytes changed in 100 places
  inserted   the same file; new: 4 MiB inserted at its start
  small      20,000 files of 1-8 KiB; new: 5% of them edited
SCALE (environment, default 1) scales the sizes and counts.
"""
import os
import random
import sys

case, out = sys.argv[1], sys.argv[2]
scale = float(os.environ.get("SCALE", "1"))
rng = random.Random(2024)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


if case in ("scattered", "inserted"):
    size = int((200 << 20) * scale)
    old = rng.randbytes(size)
    write(f"{out}/base/data.bin", old)
    if case == "scattered":
        new = bytearray(old)
        step, run = size // 100, size // 100 // 100
        for i in range(100):
            at = i * step + rng.randrange(step - run)
            new[at:at + run] = rng.randbytes(run)
    else:
        new = rng.randbytes(int((4 << 20) * scale)) + old
    write(f"{out}/new/data.bin", bytes(new))
elif case == "small":
    words = [b"depth", b"bearing", b"tide", b"chart", b"harbour", b"buoy", b"light", b"sounding"]
    for i in range(int(20000 * scale)):
        n = rng.randrange(1024, 8192)
        text = b" ".join(rng.choice(words) + b"=%d" % rng.randrange(1000) for _ in range(n // 8))[:n]
        name = f"d{i // 500:03d}/f{i:05d}.txt"
        write(f"{out}/base/{name}", text)
        if rng.random() < 0.05:
            at = rng.randrange(len(text))
            text = text[:at] + b"edited=%d " % i + text[at:]
        write(f"{out}/new/{name}", text)
else:
    sys.exit(f"unknown case {case}")
