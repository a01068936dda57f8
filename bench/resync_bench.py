#!/usr/bin/env python3
"""Measures salvage past damage in deflated entries against peers.

Usage: bench/resync_bench.py KVZIP [--large] [--quick]
       bench/resync_bench.py --damaged-random SOURCE ARCHIVE

Makes archives from real text on this machine (prose from the licence
texts and package documentation, C headers, manual pages, and office-like
XML wrapped around the prose), with Info-ZIP zip and Python's zipfile at
deflate levels 6 and 9. Each archive is damaged once inside the compressed
data of its text entry (512 zero bytes, 3 flipped bits, or 4 KiB of noise)
and extracted by kvzip with --no-resync (today's behaviour), by kvzip as
built, by 7zz and by bsdtar. A byte counts as recovered when the output
holds the original byte at its offset. The report gives the mean share of
the damaged entry's bytes each tool recovers, and, for files larger than
256 KB, the share of the bytes lost to --no-resync that come back.

Inputs and outputs go to KVZIP_BENCH_DIR (default /tmp/kvzip-bench/resync).

--damaged-random writes SOURCE (random bytes) deflated into ARCHIVE with 4 KiB
of noise over the start of its data: the case where the bounded search
finds nothing, whose cost bench/run.sh measures.
"""
import gzip
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import time
import zipfile
import zlib

SCRATCH = os.path.join(os.environ.get("KVZIP_BENCH_DIR", "/tmp/kvzip-bench"), "resync")
ENTRY = "text/document.txt"


def read_text(path):
    try:
        if path.endswith(".gz"):
            with gzip.open(path, "rb") as f:
                return f.read()
        with open(path, "rb") as f:
            return f.read()
    except (OSError, EOFError, zlib.error):
        return b""


def files_under(roots, accept):
    for root in roots:
        for folder, dirs, names in os.walk(root):
            dirs.sort()
            for name in sorted(names):
                path = os.path.join(folder, name)
                if accept(path) and os.path.isfile(path) and not os.path.islink(path):
                    yield path


def pool(kind, size):
    """`size` bytes of real text of one kind, files concatenated in order."""
    if kind == "prose":
        sources = files_under(["/usr/share/common-licenses", "/usr/share/doc"],
                              lambda p: os.path.basename(p) in ("copyright", "NEWS.gz", "README.gz",
                                                                 "changelog.gz", "changelog.Debian.gz")
                              or "/common-licenses/" in p)
    elif kind == "source":
        sources = files_under(["/usr/include"], lambda p: p.endswith((".h", ".hpp", ".c")))
    elif kind == "man":
        sources = files_under(["/usr/share/man/man1", "/usr/share/man/man3", "/usr/share/man/man8"],
                              lambda p: p.endswith(".gz"))
    else:
        return office_xml(size)
    parts, total = [], 0
    for path in sources:
        data = read_text(path)
        if b"\0" in data:
            continue
        parts.append(data)
        total += len(data)
        if total >= size:
            break
    data = b"".join(parts)
    while len(data) < size:
        data += data
    return data[:size]


def office_xml(size):
    """A word-processor body in the shape office programs write, around real prose."""
    prose = pool("prose", size).decode("utf-8", "replace")
    paragraphs = [p.strip() for p in prose.split("\n\n") if p.strip()]
    out, total, i = [], 0, 0
    head = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:document xmlns:w='
            '"http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>')
    out.append(head)
    total = len(head)
    while total < size:
        text = paragraphs[i % len(paragraphs)].replace("&", "&amp;").replace("<", "&lt;")
        style = ("Heading1" if len(text) < 60 else "BodyText")
        para = ('<w:p w:rsidR="00%06X"><w:pPr><w:pStyle w:val="%s"/></w:pPr><w:r><w:rPr>'
                '<w:lang w:val="en-GB"/></w:rPr><w:t xml:space="preserve">%s</w:t></w:r></w:p>'
                % ((i * 7919) & 0xFFFFFF, style, text))
        out.append(para)
        total += len(para.encode())
        i += 1
    return "".join(out).encode()[:size]


def write_archive(path, data, writer, level):
    if os.path.exists(path):
        os.remove(path)
    if writer == "python":
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=level) as z:
            z.writestr("text/readme.txt", b"A small entry before the damaged one.\n" * 20)
            z.writestr(ENTRY, data)
        return
    tree = path + ".tree"
    shutil.rmtree(tree, ignore_errors=True)
    os.makedirs(os.path.join(tree, "text"))
    with open(os.path.join(tree, "text", "readme.txt"), "wb") as f:
        f.write(b"A small entry before the damaged one.\n" * 20)
    with open(os.path.join(tree, ENTRY), "wb") as f:
        f.write(data)
    subprocess.run(["zip", "-q", "-X", "-%d" % level, os.path.abspath(path), "text/readme.txt", ENTRY],
                   cwd=tree, check=True)
    shutil.rmtree(tree)


def entry_data_range(path):
    with zipfile.ZipFile(path) as z:
        info = z.getinfo(ENTRY)
    with open(path, "rb") as f:
        f.seek(info.header_offset)
        header = f.read(30)
    name_length, extra_length = struct.unpack("<HH", header[26:30])
    start = info.header_offset + 30 + name_length + extra_length
    return start, info.compress_size


def damage(path, kind, rng):
    start, size = entry_data_range(path)
    with open(path, "r+b") as f:
        span = {"zero512": 512, "flip3": 16, "noise4k": 4096}[kind]
        span = min(span, max(1, size // 4))
        at = start + rng.randrange(size // 5, max(size // 5 + 1, size * 4 // 5 - span))
        f.seek(at)
        if kind == "zero512":
            f.write(bytes(span))
        elif kind == "noise4k":
            f.write(bytes(rng.getrandbits(8) for _ in range(span)))
        else:
            chunk = bytearray(f.read(span))
            for bit in rng.sample(range(span * 8), 3):
                chunk[bit // 8] ^= 1 << (bit % 8)
            f.seek(at)
            f.write(chunk)
    return at - start, size


def exact_bytes(original, path):
    try:
        with open(path, "rb") as f:
            out = f.read()
    except OSError:
        return 0
    n = min(len(out), len(original))
    if n == 0:
        return 0
    x = int.from_bytes(original[:n], "little") ^ int.from_bytes(out[:n], "little")
    return x.to_bytes(n, "little").count(0)


def extract(tool, kvzip, archive, out):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    if tool == "kvzip-before":
        cmd = [kvzip, "extract", "--no-resync", "--json", archive, out]
    elif tool == "kvzip":
        cmd = [kvzip, "extract", "--json", archive, out]
    elif tool == "7zz":
        cmd = ["7zz", "x", "-y", "-o" + out, archive]
    else:
        cmd = ["bsdtar", "-xf", archive, "-C", out]
    began = time.monotonic()
    run = subprocess.run(cmd, capture_output=True, timeout=600)
    seconds = time.monotonic() - began
    verdict = ""
    if tool.startswith("kvzip"):
        try:
            for entry in json.loads(run.stdout)["entries"]:
                if entry["name"] == ENTRY:
                    verdict = entry["verdict"]
        except (ValueError, KeyError):
            verdict = "?"
    return os.path.join(out, ENTRY), seconds, verdict


def damaged_random(source, archive):
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        z.write(source, ENTRY)
    start, _ = entry_data_range(archive)
    with open(archive, "r+b") as f:
        f.seek(start)
        f.write(random.Random(1).randbytes(4096))


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--damaged-random":
        damaged_random(sys.argv[2], sys.argv[3])
        return 0
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if len(args) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    kvzip = os.path.abspath(args[0])
    sizes = [10_000, 100_000, 300_000, 1_000_000, 4_000_000]
    if "--large" in sys.argv:
        sizes += [16_000_000, 50_000_000]
    if "--quick" in sys.argv:
        sizes = [300_000, 1_000_000]
    kinds = ["prose", "source", "man", "xml"]
    writers = [("zip", 6), ("zip", 9), ("python", 6), ("python", 9)]
    damages = ["zero512", "flip3", "noise4k"]
    tools = ["kvzip-before", "kvzip", "7zz", "bsdtar"]
    os.makedirs(SCRATCH, exist_ok=True)
    rng = random.Random(31)
    rows = []
    for kind in kinds:
        for size in sizes:
            data = pool(kind, size)
            for writer, level in writers:
                for how in damages:
                    archive = os.path.join(SCRATCH, "%s-%d-%s%d-%s.zip" % (kind, size, writer, level, how))
                    write_archive(archive, data, writer, level)
                    where, packed = damage(archive, how, rng)
                    row = {"kind": kind, "size": size, "writer": "%s-%d" % (writer, level),
                           "damage": how, "at": where, "packed": packed}
                    for tool in tools:
                        path, seconds, verdict = extract(tool, kvzip, archive, archive + ".out")
                        row[tool] = exact_bytes(data, path)
                        row[tool + " s"] = seconds
                        if verdict:
                            row[tool + " verdict"] = verdict
                    rows.append(row)
                    print("%-6s %9d %-8s %-8s  before %5.1f%%  after %5.1f%%  7zz %5.1f%%  bsdtar %5.1f%%  (%s)"
                          % (kind, size, row["writer"], how, 100 * row["kvzip-before"] / size,
                             100 * row["kvzip"] / size, 100 * row["7zz"] / size,
                             100 * row["bsdtar"] / size, row.get("kvzip-before verdict", "")),
                          flush=True)
                    shutil.rmtree(archive + ".out", ignore_errors=True)
                    os.remove(archive)
    with open(os.path.join(SCRATCH, "results.json"), "w") as f:
        json.dump(rows, f, indent=1)
    report(rows, tools, damages)
    return 0


def report(rows, tools, damages):
    print("\nMean share of the damaged entry's bytes recovered exactly at their offsets")
    print("%-22s %7s" % ("files", "count") + "".join("%14s" % t for t in tools))
    groups = [("<= 256 KB", lambda r: r["size"] <= 256_000), ("> 256 KB", lambda r: r["size"] > 256_000)]
    for label, test in groups:
        for how in damages + ["all"]:
            chosen = [r for r in rows if test(r) and (how == "all" or r["damage"] == how)]
            if not chosen:
                continue
            line = "%-22s %7d" % (label + " " + how, len(chosen))
            for tool in tools:
                line += "%13.1f%%" % (100 * sum(r[tool] / r["size"] for r in chosen) / len(chosen))
            print(line)
    big = [r for r in rows if r["size"] > 256_000]
    for how in damages + ["all"]:
        chosen = [r for r in big if how == "all" or r["damage"] == how]
        lost = sum(r["size"] - r["kvzip-before"] for r in chosen)
        back = sum(max(0, r["kvzip"] - r["kvzip-before"]) for r in chosen)
        worse = sum(1 for r in chosen if r["kvzip"] < r["kvzip-before"])
        if lost:
            print("> 256 KB %-8s: %5.1f%% of the bytes lost without resync come back (%d of %d bytes; "
                  "%d entries worse)" % (how, 100 * back / lost, back, lost, worse))
    verdicts = {}
    for r in rows:
        verdicts[r.get("kvzip-before verdict", "?")] = verdicts.get(r.get("kvzip-before verdict", "?"), 0) + 1
    print("Verdicts without resync:", ", ".join("%s %d" % kv for kv in sorted(verdicts.items())))
    before = sum(r["kvzip-before s"] for r in rows)
    after = sum(r["kvzip s"] for r in rows)
    print("kvzip time over all archives: %.1f s without resync, %.1f s with it" % (before, after))


if __name__ == "__main__":
    sys.exit(main())
