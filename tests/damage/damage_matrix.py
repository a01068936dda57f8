#!/usr/bin/env python3
"""Damages one byte of one header at a time and counts what each tool loses.

Three archives are made (40 stored random files; 30 deflated texts; 20 texts
that zip writes to a pipe, sizes in data descriptors). Every byte of the
fixed part of five headers (first, middle and last local header; first and
middle central header) is damaged in four ways (xor 0x01, xor 0x40, 0x00,
0xFF; a damage that changes nothing is left out). For each copy and tool:

  lost   an entry whose own headers were not touched is not extracted
         byte-identical;
  false  (kvzip only) `kvzip check` exits 0 though `kvzip extract` does not
         give back every entry byte-identical.

Usage: damage_matrix.py KVZIP [--advanced] [--peers] [--work DIR] [--list FILE]
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

DAMAGES = [("xor 0x01", lambda b: b ^ 0x01), ("xor 0x40", lambda b: b ^ 0x40),
           ("0x00", lambda b: 0x00), ("0xFF", lambda b: 0xFF)]


def text(rng, size):
    words = ["salvage", "archive", "entry", "header", "deflate", "stream", "record",
             "witness", "central", "local", "byte", "walk", "damage", "verify"]
    out = []
    while sum(len(w) + 1 for w in out) < size:
        out.append(rng.choice(words))
    return (" ".join(out) + "\n").encode()


def make_archives(folder):
    rng = random.Random(28)
    made = []
    stored = os.path.join(folder, "stored.zip")
    files = {f"random{i:02d}.bin": rng.randbytes(rng.randint(1000, 9000)) for i in range(40)}
    with zipfile.ZipFile(stored, "w", zipfile.ZIP_STORED) as z:
        for name, data in files.items():
            z.writestr(name, data)
    made.append(("stored", stored, files))
    deflated = os.path.join(folder, "deflated.zip")
    files = {f"text{i:02d}.txt": text(rng, rng.randint(2000, 20000)) for i in range(30)}
    with zipfile.ZipFile(deflated, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            z.writestr(name, data)
    made.append(("deflated", deflated, files))
    tree = os.path.join(folder, "pipe-tree")
    os.makedirs(tree, exist_ok=True)
    files = {f"pipe{i:02d}.txt": text(rng, rng.randint(2000, 20000)) for i in range(20)}
    for name, data in files.items():
        with open(os.path.join(tree, name), "wb") as f:
            f.write(data)
    piped = os.path.join(folder, "piped.zip")
    with open(piped, "wb") as out:
        zipper = subprocess.Popen(["zip", "-q", "-"] + sorted(files), cwd=tree,
                                  stdout=subprocess.PIPE)
        cat = subprocess.Popen(["cat"], stdin=zipper.stdout, stdout=out)
        zipper.stdout.close()
        cat.wait()
        zipper.wait()
    made.append(("piped", piped, files))
    return made


def headers(path):
    """(label, offset, size, owner name) of the five headers damaged."""
    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        with open(path, "rb") as f:
            data = f.read()
    eocd = data.rfind(b"PK\x05\x06")
    cd_offset = struct.unpack_from("<I", data, eocd + 16)[0]
    centrals = []
    pos = cd_offset
    for _ in infos:
        n, m, k = struct.unpack_from("<HHH", data, pos + 28)
        centrals.append(pos)
        pos += 46 + n + m + k
    mid = len(infos) // 2
    return [("first local", infos[0].header_offset, 30, infos[0].filename),
            ("middle local", infos[mid].header_offset, 30, infos[mid].filename),
            ("last local", infos[-1].header_offset, 30, infos[-1].filename),
            ("first central", centrals[0], 46, infos[0].filename),
            ("middle central", centrals[mid], 46, infos[mid].filename)]


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=120, **kw).returncode


def differing(folder, files):
    """Names not extracted byte-identical below `folder`."""
    bad = set()
    for name, data in files.items():
        path = os.path.join(folder, name)
        try:
            with open(path, "rb") as f:
                if f.read() != data:
                    bad.add(name)
        except OSError:
            bad.add(name)
    return bad


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kvzip")
    parser.add_argument("--advanced", action="store_true")
    parser.add_argument("--peers", action="store_true", help="also run 7zz x and unzip")
    parser.add_argument("--work", default=None)
    parser.add_argument("--list", default=None, help="write every failing copy here")
    args = parser.parse_args()
    work = args.work or tempfile.mkdtemp(prefix="kvzip-damage-")
    os.makedirs(work, exist_ok=True)
    archives = make_archives(work)
    tools = ["kvzip"] + (["7zz", "unzip"] if args.peers else [])
    lost = {t: 0 for t in tools}
    false_ok = 0
    copies = 0
    failures = []
    out = os.path.join(work, "out")
    copy = os.path.join(work, "copy.zip")
    mode = ["--advanced"] if args.advanced else []
    for kind, path, files in archives:
        original = open(path, "rb").read()
        for label, offset, size, owner in headers(path):
            for at in range(size):
                for damage_name, damage in DAMAGES:
                    value = damage(original[offset + at])
                    if value == original[offset + at]:
                        continue
                    copies += 1
                    data = bytearray(original)
                    data[offset + at] = value
                    with open(copy, "wb") as f:
                        f.write(data)
                    where = f"{kind} {label} +{at} {damage_name}"
                    for tool in tools:
                        shutil.rmtree(out, ignore_errors=True)
                        os.makedirs(out)
                        if tool == "kvzip":
                            run([args.kvzip, "extract", "--jobs", "1"] + mode + [copy, out])
                        elif tool == "7zz":
                            run(["7zz", "x", "-y", "-bd", f"-o{out}", copy])
                        else:
                            run(["unzip", "-o", "-qq", copy, "-d", out])
                        bad = differing(out, files)
                        if bad - {owner}:
                            lost[tool] += 1
                            failures.append(f"{tool} lost {sorted(bad - {owner})}: {where}")
                        if tool == "kvzip" and bad:
                            if run([args.kvzip, "check", "--jobs", "1"] + mode + [copy]) == 0:
                                false_ok += 1
                                failures.append(f"kvzip check 0 but {sorted(bad)}: {where}")
    print(f"{copies} damaged copies ({work})")
    print("| tool | copies where an untouched entry is lost | copies where `check` exits 0 though an entry is not byte-identical |")
    print("|---|---|---|")
    for tool in tools:
        name = f"kvzip ({'advanced' if args.advanced else 'quick'})" if tool == "kvzip" else tool
        print(f"| {name} | {lost[tool]} | {false_ok if tool == 'kvzip' else '—'} |")
    if args.list:
        with open(args.list, "w") as f:
            f.write("\n".join(failures) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
