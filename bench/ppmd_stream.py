#!/usr/bin/env python3
"""Writes the data of a PPMd entry (method 98) for what comes on standard
input: the 16-bit parameter word (order - 1, memory in MiB - 1 from bit 4,
restoration method from bit 12), then the variant I stream of Debian's
python3-ppmd.

Usage: ppmd_stream.py ORDER MEGABYTES RESTORE <file >stream
"""
import io
import struct
import sys

import ppmd


def main():
    order, megabytes, restore = (int(v) for v in sys.argv[1:4])
    stream = io.BytesIO()
    encoder = ppmd.Ppmd8Encoder(stream, order, megabytes << 20, restore)
    encoder.encode(sys.stdin.buffer.read())
    encoder.flush()
    word = (order - 1) | (megabytes - 1) << 4 | restore << 12
    sys.stdout.buffer.write(struct.pack("<H", word) + stream.getvalue())


if __name__ == "__main__":
    main()
