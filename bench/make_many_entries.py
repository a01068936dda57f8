#!/usr/bin/env python3
"""Writes a ZIP archive of COUNT small files in nested folders, the shape of
a mail or photo-thumbnail backup: the archive that makes a preview list long.
The same seed always gives the same archive.

Usage: make_many_entries.py ARCHIVE COUNT
"""
import os
import random
import sys
import zipfile


def main():
    path, count = sys.argv[1], int(sys.argv[2])
    rng = random.Random(19)
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(3, 9)))
             for _ in range(500)]
    # Written aside and renamed: an interrupted run leaves no half archive.
    with zipfile.ZipFile(path + ".part", "w", zipfile.ZIP_DEFLATED, compresslevel=6) as archive:
        for i in range(count):
            folder = "mail/%04d/%s" % (i // 500, rng.choice(words))
            name = "%s/message-%06d.txt" % (folder, i)
            body = " ".join(rng.choice(words) for _ in range(rng.randint(5, 60)))
            info = zipfile.ZipInfo(name, date_time=(2020, 1 + i % 12, 1 + i % 28, i % 24,
                                                     i % 60, (2 * i) % 60))
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, body)
    os.replace(path + ".part", path)


if __name__ == "__main__":
    main()
