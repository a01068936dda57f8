#!/usr/bin/env bash
# Decode speed per compression method: `kvzip extract` against `7zz x` on
# the same archive (after checking both write the same files), and the peak
# memory of `kvzip check` on a bzip2 bomb of 10 GB of zeros.
# Usage: bench/methods.sh BUILD
# Inputs are made once in KVZIP_BENCH_DIR/methods (default
# /tmp/kvzip-bench/methods) and kept for later runs; KVZIP_BENCH_RUNS sets
# the timed runs of each command (default 3).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
kvzip="$(cd "${1:?usage: $0 BUILD}" && pwd)/bin/kvzip"
[ -x "$kvzip" ] || { echo "$0: $kvzip not found; build first" >&2; exit 1; }
for tool in hyperfine 7zz xz zstd bzip2 python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is missing (make bench installs it)" >&2; exit 1; }
done

scratch=${KVZIP_BENCH_DIR:-/tmp/kvzip-bench}/methods
results="$scratch/results"
out="$scratch/out"
mkdir -p "$results"

# 40 files of text, 100 MB in all: neither trivially repetitive nor noise.
corpus="$scratch/corpus"
if [ ! -d "$corpus" ]; then
    python3 "$here/make_tree.py" "$corpus.tmp" 40 $((100 * 1000 * 1000))
    mv "$corpus.tmp" "$corpus"
fi
mapfile -t files < <(cd "$corpus" && find . -type f | sort)

methods=(Deflate Deflate64 BZip2 LZMA PPMd xz zstd)
for method in "${methods[@]}"; do
    archive="$scratch/$method.zip"
    [ -s "$archive" ] && continue
    case $method in
    xz) (cd "$corpus" && python3 "$here/raw_method_zip.py" "$archive.tmp" 95 "xz -6 -c" "${files[@]}") ;;
    zstd) (cd "$corpus" && python3 "$here/raw_method_zip.py" "$archive.tmp" 93 "zstd -3 -c -q" "${files[@]}") ;;
    *) (cd "$corpus" && nice 7zz a -tzip -mm="$method" "$archive.tmp" "${files[@]}" >/dev/null) ;;
    esac
    mv "$archive.tmp" "$archive"
done

echo "Measuring the methods (logs in $results)..."
for method in "${methods[@]}"; do
    archive="$scratch/$method.zip"
    cat "$archive" >/dev/null
    rm -rf "$out" "$out-peer"
    /usr/bin/time -f %M -o "$results/method-$method.rss" "$kvzip" extract "$archive" "$out" \
        >"$results/method-$method.txt" || true
    7zz x -y -bd "$archive" -o"$out-peer" >/dev/null
    if diff -r -q "$out" "$out-peer" >"$results/method-$method-diff.log"; then
        echo same >"$results/method-$method.same"
    else
        rm -f "$results/method-$method.same"
    fi
    hyperfine --style basic --warmup 1 --runs "${KVZIP_BENCH_RUNS:-3}" --export-json "$results/method-$method.json" \
        --prepare "rm -rf '$out'; mkdir -p '$out'" \
        -n "kvzip extract" "'$kvzip' extract '$archive' '$out' >/dev/null" \
        -n "7zz x" "7zz x -y -bd '$archive' -o'$out' >/dev/null" \
        >"$results/method-$method.log" 2>&1 || true
done
rm -rf "$out" "$out-peer"

# The bomb: 10 GB of zeros pack to a few kB; decoding must not hold them.
bomb="$scratch/bomb-10g-bzip2.zip"
if [ ! -s "$bomb" ]; then
    echo "Writing the 10 GB bzip2 bomb..."
    python3 "$here/raw_method_zip.py" "$bomb.tmp" 12 "bzip2 -9 -c" --zeros $((10 * 1000 * 1000 * 1000)) zeros.bin
    mv "$bomb.tmp" "$bomb"
fi
/usr/bin/time -f "%M %e" -o "$results/bomb.rss" "$kvzip" check "$bomb" >"$results/bomb.txt" || true

python3 - "$results" "$scratch" "${methods[@]}" <<'PY'
import json, os, sys
results, scratch, methods = sys.argv[1], sys.argv[2], sys.argv[3:]
corpus = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(os.path.join(scratch, "corpus")) for f in fs)
print()
print("| method | archive MB | `kvzip extract` s | MB/s | `7zz x` s | MB/s | kvzip vs 7zz | same files | kvzip peak MiB |")
print("| --- | ---: | ---: | ---: | ---: | ---: | ---: | --- | ---: |")
for m in methods:
    path = os.path.join(results, f"method-{m}.json")
    if not os.path.exists(path):
        continue
    rows = {r["command"]: r["mean"] for r in json.load(open(path))["results"]}
    kv, peer = rows["kvzip extract"], rows["7zz x"]
    rss = int(open(os.path.join(results, f"method-{m}.rss")).read().split()[-1]) / 1024
    same = "yes" if os.path.exists(os.path.join(results, f"method-{m}.same")) else "NO"
    size = os.path.getsize(os.path.join(scratch, f"{m}.zip")) / 1e6
    # Without the same files kvzip did not decode them: its time says nothing.
    ratio = f"{kv / peer:.2f}x" if same == "yes" else "not decoded"
    print(f"| {m} | {size:.1f} | {kv:.2f} | {corpus / kv / 1e6:.0f} | {peer:.2f} | "
          f"{corpus / peer / 1e6:.0f} | {ratio} | {same} | {rss:.1f} |")
rss, seconds = open(os.path.join(results, "bomb.rss")).read().split()[-2:]
print()
print(f"10 GB bzip2 bomb, `kvzip check`: peak {int(rss) / 1024:.1f} MiB in {float(seconds):.0f} s; "
      + open(os.path.join(results, "bomb.txt")).read().strip().splitlines()[-1])
PY
