#!/usr/bin/env python3
"""Times the desktop program's dialogs against the command line on the same
archives, runs taken in turn so that a busy machine weighs on both alike, and
checks the targets: on 100,000 small files the analysis into the preview's
list under 3 s and Save All through the saving dialog within 1.5x of
`kvzip repair`; on the bench archive Save All within 1.1x.

Usage: gui_compare.py BUILD SCRATCH RUNS
"""
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def measure(build, scratch, archive, runs):
    """Medians of wall-clock and processor seconds (every thread), which a
    machine shared with other work disturbs much less."""
    with open(archive, "rb") as f:
        while f.read(1 << 20):
            pass
    out = os.path.join(scratch, "repair-out")
    log = os.path.join(scratch, "repair.log")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    times = {"preview": [], "saving": [], "repair": []}
    cpus = {"preview": [], "saving": [], "repair": []}
    for run in range(runs):
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        subprocess.run([os.path.join(build, "bin", "kvzip"), "repair", "--overwrite",
                        "yes-to-all", "--dest", out, "--log", log, archive],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times["repair"].append(time.monotonic() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus["repair"].append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
        shutil.rmtree(out, ignore_errors=True)
        result = subprocess.run([os.path.join(build, "bin", "kvzip_gui_bench"),
                                 os.path.join(build, "data"), archive, "1"], env=env,
                                check=True, capture_output=True, text=True)
        for line in result.stdout.splitlines():
            word, seconds, cpu = line.split()[:3]
            times[word].append(float(seconds))
            cpus[word].append(float(cpu))
        print(f"run {run + 1}: preview {times['preview'][-1]:.2f} s, "
              f"saving {times['saving'][-1]:.2f} s, kvzip repair {times['repair'][-1]:.2f} s",
              flush=True)
    return ({k: statistics.median(v) for k, v in times.items()},
            {k: statistics.median(v) for k, v in cpus.items()},
            {k: (min(v), max(v)) for k, v in times.items()})


def main():
    build, scratch, runs = os.path.abspath(sys.argv[1]), sys.argv[2], int(sys.argv[3])
    many = os.path.join(scratch, "many-entries.zip")
    if not os.path.exists(many):
        print("Writing the archive of 100,000 small files...")
        subprocess.run([sys.executable, os.path.join(HERE, "make_many_entries.py"), many,
                        "100000"], check=True)
    inputs = [("100,000 entries, 30 MB", many, 1.5)]
    bench = os.path.join(scratch, "intact.zip")
    if os.path.exists(bench):
        inputs.append(("bench archive", bench, 1.1))
    checks = []
    for title, archive, limit in inputs:
        print(f"{title}:")
        median, cpu, spread = measure(build, scratch, archive, runs)
        print()
        print(f"| {title} | median s | min s | max s | median CPU s |")
        print("| --- | ---: | ---: | ---: | ---: |")
        for name, key in (("analysis into the preview", "preview"),
                          ("Save All, saving dialog", "saving"), ("`kvzip repair`", "repair")):
            print(f"| {name} | {median[key]:.2f} | {spread[key][0]:.2f} | {spread[key][1]:.2f} | "
                  f"{cpu[key]:.2f} |")
        print()
        ratio = median["saving"] / median["repair"]
        cpu_ratio = cpu["saving"] / cpu["repair"]
        checks.append((f"{title}: Save All <= {limit:g}x `kvzip repair`", ratio <= limit,
                       f"{ratio:.2f}x (processor time {cpu_ratio:.2f}x)"))
        if archive == many:
            checks.append((f"{title}: analysis + preview < 3 s", median["preview"] < 3,
                           f"{median['preview']:.2f} s"))
    print("| target | met | measured |")
    print("| --- | --- | --- |")
    for name, ok, measured in checks:
        print(f"| {name} | {'yes' if ok else 'NO'} | {measured} |")


if __name__ == "__main__":
    main()
