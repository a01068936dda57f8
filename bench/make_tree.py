#!/usr/bin/env python3
"""Writes the benchmark's file tree: COUNT files in nested folders, half of
them text that deflates well and half random bytes that does not.

Usage: make_tree.py DIR COUNT TOTAL_BYTES
"""
import os
import random
import sys


def main():
    root, count, total = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    rng = random.Random(7)
    words = [("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10))))
             for _ in range(2000)]
    text = (" ".join(rng.choice(words) for _ in range(1_200_000))).encode()
    noise = os.urandom(8 << 20)
    average = total // count
    for i in range(count):
        size = rng.randint(average // 4, average * 7 // 4)
        source = text if i % 2 == 0 else noise
        start = rng.randrange(0, len(source) - size) if size < len(source) else 0
        data = (source * (size // len(source) + 1))[start:start + size] if size >= len(source) \
            else source[start:start + size]
        folder = os.path.join(root, "d%02d" % (i % 37), "s%d" % (i % 5))
        os.makedirs(folder, exist_ok=True)
        name = "f%05d.%s" % (i, "txt" if i % 2 == 0 else "bin")
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
