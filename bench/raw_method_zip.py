#!/usr/bin/env python3
"""Writes a ZIP archive whose entries hold the streams a compressor program
makes, under a method number zipfile cannot write itself (xz is 95,
Zstandard 93): the same local and central headers as any entry, with Zip64
fields when a size needs them.

Usage: raw_method_zip.py OUT METHOD "COMMAND" FILE...
       raw_method_zip.py OUT METHOD "COMMAND" --zeros SIZE NAME
The command reads the file on its standard input and writes the stream to
its standard output. --zeros packs SIZE zero bytes without a file of them.
"""
import os
import shlex
import struct
import subprocess
import sys
import zlib

MASK32 = 0xFFFFFFFF
CHUNK = 1 << 20


def pack(command, path=None, zeros=0):
    """The packed stream and the CRC-32 and size of what was packed."""
    crc = 0
    size = 0
    process = subprocess.Popen(shlex.split(command), stdin=subprocess.PIPE,
                               stdout=open(OUT_STREAM, "wb"))
    source = open(path, "rb") if path else None
    while True:
        block = source.read(CHUNK) if source else bytes(min(CHUNK, zeros - size))
        if not block:
            break
        crc = zlib.crc32(block, crc)
        size += len(block)
        process.stdin.write(block)
    process.stdin.close()
    if process.wait() != 0:
        sys.exit(f"{command} failed")
    return crc, size


def zip64_field(*values):
    return struct.pack("<HH", 1, 8 * len(values)) + b"".join(struct.pack("<Q", v) for v in values)


def main():
    global OUT_STREAM
    out, method, command = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    if sys.argv[4] == "--zeros":
        inputs = [(sys.argv[6], None, int(sys.argv[5]))]
    else:
        # A relative path is the entry's name, an absolute one gives its file name.
        inputs = [(os.path.basename(p) if os.path.isabs(p) else os.path.normpath(p), p, 0)
                  for p in sys.argv[4:]]
    OUT_STREAM = out + ".stream"
    central = b""
    with open(out, "wb") as archive:
        for name, path, zeros in inputs:
            crc, size = pack(command, path, zeros)
            packed = os.path.getsize(OUT_STREAM)
            big = size >= MASK32 or packed >= MASK32
            extra = zip64_field(size, packed) if big else b""
            sizes = (MASK32, MASK32) if big else (packed, size)
            offset = archive.tell()
            fields = (45 if big else 20, 0, method, 0x1880, 0x5822, crc, sizes[0], sizes[1],
                      len(name))
            archive.write(b"PK\3\4" + struct.pack("<HHHHHIIIHH", *fields, len(extra)) +
                          name.encode() + extra)
            with open(OUT_STREAM, "rb") as stream:
                while block := stream.read(CHUNK):
                    archive.write(block)
            extra = zip64_field(size, packed, offset) if big else b""
            central += b"PK\1\2" + struct.pack("<HHHHHHIIIHHHHHII", 63, *fields, len(extra), 0,
                                               0, 0, 0, MASK32 if big else offset)
            central += name.encode() + extra
        start = archive.tell()
        archive.write(central)
        archive.write(b"PK\5\6" + struct.pack("<HHHHIIH", 0, 0, len(inputs), len(inputs),
                                              len(central), min(start, MASK32), 0))
    os.remove(OUT_STREAM)


if __name__ == "__main__":
    main()
