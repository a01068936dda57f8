#!/usr/bin/env python3
"""Prints the benchmark table from hyperfine's JSON results and checks the
targets: quick list of random bytes >= 1 GB/s; list of the intact archive
within 4x (quick) and 3x (advanced) of cat; extract within 1.2x of bsdtar;
check (decode and compare every CRC-32, write nothing) within 1.2x of
unzip -t; with the 5 GiB archive, its list and extract against bsdtar and their memory
under 64 MiB; extraction to a RAM folder (medians against bsdtar -x) of the
bench archive within 0.5x (0.75x on one thread), of 100,000 small files
within 0.8x, of one 2 GiB deflated entry within 1x and under 300 MiB.

Usage: report.py RESULTS_DIR RANDOM_FILE ARCHIVE [BIG_ARCHIVE]
"""
import json
import os
import sys


def load(folder, name):
    with open(os.path.join(folder, name + ".json")) as f:
        return {r["command"]: r for r in json.load(f)["results"]}


PACE_TITLES = {"archive": "bench archive", "small": "100,000 small files",
               "entry": "one 2 GiB deflated entry", "big": "5 GiB two files"}
# Most of bsdtar -x's time (median) each may take to a RAM folder.
PACE_TARGETS = {"archive": (("kvzip extract", 0.5), ("kvzip extract --jobs 1", 0.75)),
                "small": (("kvzip extract", 0.8),),
                "entry": (("kvzip extract", 1.0),)}
# Peak memory of every kvzip run, MiB: the 2 GiB entry streams through a
# bounded buffer, the rest stays small.
PACE_MEMORY = {"entry": 300}


def pace(folder, checks):
    """Extraction to a RAM folder and to disk, as ratios to bsdtar -x."""
    found = False
    for place in ("ram", "disk"):
        for label, title in PACE_TITLES.items():
            name = f"pace-{place}-{label}"
            if not os.path.exists(os.path.join(folder, name + ".json")):
                continue
            if not found:
                print()
                print("| to | input | command | median s | min s | max s | vs bsdtar -x |")
                print("| --- | --- | --- | ---: | ---: | ---: | ---: |")
                found = True
            rows = load(folder, name)
            floor = rows["bsdtar -x"]["median"]
            for command, r in rows.items():
                print(f"| {place.upper() if place == 'ram' else place} | {title} | `{command}` | "
                      f"{r['median']:.3f} | {r['min']:.3f} | {r['max']:.3f} | "
                      f"{r['median'] / floor:.2f}x |")
            if place == "ram":
                for command, limit in PACE_TARGETS.get(label, ()):
                    ratio = rows[command]["median"] / floor
                    checks.append((f"`{command}` of the {title} to RAM <= {limit:g}x `bsdtar -x`",
                                   ratio <= limit, f"{ratio:.2f}x"))
            for variant in ("default", "jobs1", "zlib", "zlib-jobs1"):
                path = os.path.join(folder, f"{name}-{variant}.rss")
                if place == "ram" and os.path.exists(path):
                    with open(path) as f:
                        mib = int(f.read().split()[-1]) / 1024
                    limit = PACE_MEMORY.get(label, 64)
                    checks.append((f"`kvzip extract` ({variant}) of the {title} < {limit} MiB",
                                   mib < limit, f"{mib:.1f} MiB"))


def main():
    folder, random_file, archive = sys.argv[1:4]
    sizes = {"random": os.path.getsize(random_file), "archive": os.path.getsize(archive)}
    print("| input | command | mean s | ± s | MB/s | vs floor |")
    print("| --- | --- | ---: | ---: | ---: | ---: |")
    checks = []
    for label, title in (("random", "1 GiB random"), ("archive", "intact archive")):
        rows = load(folder, label + "-list")
        if label == "archive":
            rows.update(load(folder, "archive-peers-list"))
        floor = rows["cat"]["mean"]
        for command, r in rows.items():
            rate = sizes[label] / r["mean"] / 1e6
            print(f"| {title} | `{command}` | {r['mean']:.3f} | {r['stddev']:.3f} | {rate:.0f} | "
                  f"{r['mean'] / floor:.2f}x cat |")
        if label == "random":
            rate = sizes[label] / rows["kvzip list"]["mean"] / 1e9
            checks.append(("quick list of 1 GiB random >= 1 GB/s", rate >= 1.0, f"{rate:.2f} GB/s"))
        else:
            for command, limit in (("kvzip list", 4.0), ("kvzip list --advanced", 3.0)):
                ratio = rows[command]["mean"] / floor
                checks.append((f"`{command}` of the archive <= {limit:g}x cat", ratio <= limit,
                               f"{ratio:.2f}x"))
    rows = load(folder, "archive-extract")
    floor = rows["bsdtar -x"]["mean"]
    for command, r in rows.items():
        rate = sizes["archive"] / r["mean"] / 1e6
        print(f"| intact archive | `{command}` | {r['mean']:.3f} | {r['stddev']:.3f} | {rate:.0f} | "
              f"{r['mean'] / floor:.2f}x bsdtar |")
    ratio = rows["kvzip extract"]["mean"] / floor
    checks.append(("`kvzip extract` <= 1.2x `bsdtar -x`", ratio <= 1.2, f"{ratio:.2f}x"))
    rows = load(folder, "archive-check")
    floor = rows["unzip -t"]["mean"]
    for command, r in rows.items():
        rate = sizes["archive"] / r["mean"] / 1e6
        print(f"| intact archive | `{command}` | {r['mean']:.3f} | {r['stddev']:.3f} | {rate:.0f} | "
              f"{r['mean'] / floor:.2f}x unzip -t |")
    ratio = rows["kvzip check"]["mean"] / floor
    checks.append(("`kvzip check` <= 1.2x `unzip -t`", ratio <= 1.2, f"{ratio:.2f}x"))

    if len(sys.argv) > 4:
        size = os.path.getsize(sys.argv[4])
        for name, peer in (("list", "bsdtar -tf"), ("extract", "bsdtar -x")):
            rows = load(folder, "big-" + name)
            floor = rows[peer]["mean"]
            for command, r in rows.items():
                rate = size / r["mean"] / 1e6
                print(f"| 5 GiB Zip64 archive | `{command}` | {r['mean']:.3f} | {r['stddev']:.3f} | "
                      f"{rate:.0f} | {r['mean'] / floor:.2f}x {peer.split()[0]} |")
            with open(os.path.join(folder, f"big-{name}.rss")) as f:
                mib = int(f.read().split()[-1]) / 1024
            checks.append((f"`kvzip {name}` of 5 GiB (two files, byte-identical) < 64 MiB",
                           mib < 64, f"{mib:.1f} MiB"))

    pace(folder, checks)

    print()
    print("| target | met | measured |")
    print("| --- | --- | --- |")
    for name, ok, measured in checks:
        print(f"| {name} | {'yes' if ok else 'NO'} | {measured} |")


if __name__ == "__main__":
    main()
