#!/usr/bin/env python3
"""Writes the fuzz seed corpus: small archives, whole and damaged.

Usage: make_corpus.py DIR
"""
import io
import lzma
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib


class Unseekable(io.RawIOBase):
    """A sink without seek, so the writer emits data descriptors."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def payload(kind, n):
    if kind == "text":
        words = b"salvage the files of damaged archives "
        return (words * (n // len(words) + 1))[:n]
    # Deterministic noise: incompressible but reproducible.
    out = bytearray()
    seed = n
    while len(out) < n:
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        out += struct.pack("<I", seed)
    return bytes(out[:n])


def archive(entries, method, streamed=False, zip64=False):
    sink = Unseekable() if streamed else io.BytesIO()
    with zipfile.ZipFile(sink, "w", compression=method) as z:
        for name, data in entries:
            if name.endswith("/"):
                z.writestr(zipfile.ZipInfo(name), b"")
            elif zip64:
                with z.open(name, "w", force_zip64=True) as f:
                    f.write(data)
            else:
                z.writestr(name, data)
    return bytes(sink.data if streamed else sink.getvalue())


def zip64_field(*values):
    return struct.pack("<HH", 1, 8 * len(values)) + b"".join(struct.pack("<Q", v) for v in values)


def zip64_directory(entries):
    """Stored entries whose local and central headers send every size and
    offset to Zip64 fields, ending with the Zip64 end records."""
    out = bytearray()
    central = bytearray()
    for name, data in entries:
        crc = zlib.crc32(data)
        extra = zip64_field(len(data), len(data))
        offset = len(out)
        out += struct.pack("<4sHHHHHIIIHH", b"PK\x03\x04", 45, 0, 0, 0, 0x5A21, crc,
                           0xFFFFFFFF, 0xFFFFFFFF, len(name), len(extra))
        out += name.encode() + extra + data
        extra = zip64_field(len(data), len(data), offset)
        central += struct.pack("<4sHHHHHHIIIHHHHHII", b"PK\x01\x02", 45, 45, 0, 0, 0, 0x5A21,
                               crc, 0xFFFFFFFF, 0xFFFFFFFF, len(name), len(extra), 0, 0, 0, 0,
                               0xFFFFFFFF)
        central += name.encode() + extra
    start = len(out)
    out += central
    end = len(out)
    out += struct.pack("<4sQHHIIQQQQ", b"PK\x06\x06", 44, 45, 45, 0, 0, len(entries),
                       len(entries), end - start, start)
    out += struct.pack("<4sIQI", b"PK\x06\x07", 0, end, 1)
    out += struct.pack("<4sHHHHIIH", b"PK\x05\x06", 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF,
                       0xFFFFFFFF, 0)
    return bytes(out)


def raw_method(entries, method, pack):
    """Stored-like local headers of `method` around the streams `pack` makes,
    as writers of methods zipfile lacks lay them out (no central directory)."""
    out = bytearray()
    for name, data in entries:
        packed = pack(data)
        out += struct.pack("<4sHHHHHIIIHH", b"PK\x03\x04", 63, 0, method, 0, 0x5A21,
                           zlib.crc32(data), len(packed), len(data), len(name), 0)
        out += name.encode() + packed
    return bytes(out)


def zstd(data):
    return subprocess.run(["zstd", "-q", "-c"], input=data, capture_output=True,
                          check=True).stdout


def seven_zip(entries, method):
    """An archive of 7-Zip's with -mm=`method`."""
    with tempfile.TemporaryDirectory() as folder:
        for name, data in entries:
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        subprocess.run(["7zz", "a", "-tzip", "-mm=" + method, "seeds.zip"] +
                       [name for name, _ in entries], cwd=folder, check=True,
                       capture_output=True)
        with open(os.path.join(folder, "seeds.zip"), "rb") as f:
            return f.read()


def method_seeds():
    """Each decoder's seeds: whole, cut in its data and with bytes turned.
    Methods whose writer is not installed are left out."""
    files = [("a.txt", payload("text", 3000)), ("b.bin", payload("noise", 300))]
    made = {
        "bzip2": archive(files, zipfile.ZIP_BZIP2),
        "lzma": archive(files, zipfile.ZIP_LZMA),
        "xz": raw_method(files, 95, lambda d: lzma.compress(d, format=lzma.FORMAT_XZ)),
    }
    if shutil.which("zstd"):
        made["zstd"] = raw_method(files, 93, zstd)
    if shutil.which("7zz"):
        made["deflate64"] = seven_zip(files, "Deflate64")
        made["ppmd"] = seven_zip(files, "PPMd")
    seeds = {}
    for method, whole in made.items():
        seeds[method + "-method"] = whole
        seeds[method + "-cut"] = whole[:len(whole) // 3]
        turned = bytearray(whole)
        for i in range(70, len(turned) // 2, 41):
            turned[i] ^= 0x24
        seeds[method + "-turned"] = bytes(turned)
    return seeds


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    files = [("a.txt", payload("text", 300)), ("dir/b.bin", payload("noise", 200)),
             ("dir/", b""), ("dir/sub/c.txt", payload("text", 1500))]
    seeds = {
        "stored": archive(files, zipfile.ZIP_STORED),
        "deflated": archive(files, zipfile.ZIP_DEFLATED),
        "stored-descriptors": archive(files, zipfile.ZIP_STORED, streamed=True),
        "deflated-descriptors": archive(files, zipfile.ZIP_DEFLATED, streamed=True),
        "empty-archive": archive([], zipfile.ZIP_STORED),
        "empty-file": archive([("empty", b"")], zipfile.ZIP_DEFLATED),
        "dotdot-names": archive([("../up.txt", b"up"), ("/abs/x.txt", b"abs"),
                                 ("a/./../b.txt", b"b")], zipfile.ZIP_STORED),
        "long-name": archive([("n" * 300 + "/f.txt", b"long")], zipfile.ZIP_STORED),
        "pk-in-name": archive([("PK.txt", b"debris")], zipfile.ZIP_STORED),
    }
    seeds.update(method_seeds())
    whole = seeds["deflated"]
    streamed = seeds["deflated-descriptors"]
    seeds["cut-in-data"] = whole[:len(whole) // 3]
    seeds["cut-in-header"] = whole[:40]
    seeds["cut-before-central"] = whole[:whole.find(b"PK\x01\x02")]
    seeds["cut-descriptors"] = streamed[:len(streamed) // 2]
    seeds["no-central"] = streamed[:streamed.find(b"PK\x01\x02")]
    garbled = bytearray(whole)
    for i in range(60, len(garbled), 97):
        garbled[i] ^= 0x5A
    seeds["garbled-data"] = bytes(garbled)
    seeds["prefixed"] = payload("noise", 500) + whole
    seeds["doubled"] = whole + seeds["stored"]
    # Sizes that point past the end of the file.
    big = bytearray(seeds["stored"])
    struct.pack_into("<II", big, 18, 0xFFFFFFF0, 0xFFFFFFF0)
    seeds["huge-sizes"] = bytes(big)
    # A central directory whose offsets and name lengths lie.
    lying = bytearray(whole)
    c = lying.find(b"PK\x01\x02")
    struct.pack_into("<H", lying, c + 28, 0xFFFF)
    struct.pack_into("<I", lying, c + 42, 0x7FFFFFFF)
    seeds["lying-central"] = bytes(lying)
    # Raw deflate whose stream is broken halfway.
    bad = bytearray(archive([("z.txt", payload("text", 5000))], zipfile.ZIP_DEFLATED))
    bad[45:60] = b"\xff" * 15
    seeds["broken-stream"] = bytes(bad)
    seeds["headers-only"] = b"PK\x03\x04" * 20 + b"PK\x01\x02" * 10 + b"PK\x07\x08" * 5
    seeds["deflate-raw-tail"] = streamed + zlib.compress(payload("text", 2000))[2:]
    # Zip64: fields in local and central headers, 8-byte descriptors, the
    # Zip64 end records, and fields cut or lying.
    plain = [f for f in files if not f[0].endswith("/")]
    seeds["zip64"] = archive(plain, zipfile.ZIP_STORED, zip64=True)
    seeds["zip64-descriptors"] = archive(plain, zipfile.ZIP_DEFLATED, streamed=True, zip64=True)
    seeds["zip64-directory"] = zip64_directory(plain)
    cut = bytearray(seeds["zip64"])
    struct.pack_into("<H", cut, 28, 12)  # the field's second size falls into the data
    seeds["zip64-cut-field"] = bytes(cut)
    lying = bytearray(seeds["zip64-directory"])
    struct.pack_into("<Q", lying, 30 + len(plain[0][0]) + 4 + 8, 0x7FFFFFFFFFFFFFF0)
    seeds["zip64-huge-size"] = bytes(lying)

    for name, data in seeds.items():
        with open(os.path.join(out, name + ".zip"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
