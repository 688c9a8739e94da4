#!/usr/bin/env python3
"""make_payload.py DIR COUNT MIN_BYTES MAX_BYTES SEED [FIRST [PER_FOLDER]]

Writes COUNT files below DIR, numbered from FIRST (default 0), PER_FOLDER to
a subfolder (default 100; 0 puts them all straight into DIR), with sizes
spread evenly between MIN_BYTES and MAX_BYTES: about three quarters word-like
text that compresses, one quarter random bytes that do not. Prints the total
bytes and the largest file's size."""
import os
import random
import sys

def main():
    out, count, low, high, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
    first = int(sys.argv[6]) if len(sys.argv) > 6 else 0
    per_folder = int(sys.argv[7]) if len(sys.argv) > 7 else 100
    rnd = random.Random(seed)
    words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9))) for _ in range(4000)]
    text = bytearray()
    while len(text) < (4 << 20):
        text += rnd.choice(words) + (b"\r\n" if rnd.random() < 0.08 else b" ")
    text = bytes(text)
    total = largest = 0
    os.makedirs(out, exist_ok=True)
    folder = out
    for i in range(first, first + count):
        if per_folder > 0 and (i % per_folder == 0 or i == first):
            folder = os.path.join(out, "d%04d" % (i // per_folder))
            os.makedirs(folder, exist_ok=True)
        size = rnd.randint(low, high)
        plain = size * 3 // 4
        if plain < len(text):
            start = rnd.randrange(0, len(text) - plain)
            words_part = text[start:start + plain]
        else:  # longer than the text: the text again and again
            words_part = (text * (plain // len(text) + 1))[:plain]
        data = words_part + rnd.randbytes(size - plain)
        with open(os.path.join(folder, "f%06d.dat" % i), "wb") as f:
            f.write(data)
        total += size
        largest = max(largest, size)
    print(total, largest)

main()
