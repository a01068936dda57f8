#!/usr/bin/env python3
"""Writes SIZE bytes of word text, the kind that deflates to about a third,
into FILE: an 8 MiB block of words written again and again, which deflate's
32 KiB window cannot tell from new text.

Usage: make_text_file.py FILE SIZE
"""
import random
import sys


def main():
    path, size = sys.argv[1], int(sys.argv[2])
    rng = random.Random(11)
    words = [("".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 10))))
             for _ in range(2000)]
    block = (" ".join(rng.choice(words) for _ in range(1_400_000))).encode()[:8 << 20]
    with open(path, "wb") as f:
        left = size
        while left > 0:
            f.write(block[:left])
            left -= len(block)


if __name__ == "__main__":
    main()
