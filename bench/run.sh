#!/usr/bin/env bash
# Measures kvzip against its peers on page-cached files and prints a table.
# Usage: bench/run.sh BUILD
# Inputs are made once in a scratch folder (KVZIP_BENCH_DIR, default
# /tmp/kvzip-bench) and kept there for later runs; nothing goes into the repo.
# The 5 GiB Zip64 archive is the exception: it is made for the run and
# removed at its end (KVZIP_BENCH_BIG=0 leaves it out altogether).
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
kvzip="$(cd "$1" && pwd)/bin/kvzip"
if [ ! -x "$kvzip" ]; then
    echo "$0: $kvzip not found; build first" >&2
    exit 1
fi
for tool in hyperfine zip unzip bsdtar 7z sha1sum /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$0: $tool is missing (make bench installs it)" >&2; exit 1; }
done

scratch=${KVZIP_BENCH_DIR:-/tmp/kvzip-bench}
mkdir -p "$scratch"
random_file="$scratch/random-1g.bin"
archive="$scratch/intact.zip"
out="$scratch/out"
results="$scratch/results"
mkdir -p "$results"

if [ ! -s "$random_file" ]; then
    echo "Writing 1 GiB of random bytes..."
    head -c $((1024 * 1024 * 1024)) /dev/urandom >"$random_file.tmp"
    mv "$random_file.tmp" "$random_file"
fi
if [ ! -s "$archive" ]; then
    echo "Writing the intact archive (3000 files, about 600 MB before compression)..."
    rm -rf "$scratch/tree"
    python3 "$here/make_tree.py" "$scratch/tree" 3000 $((600 * 1000 * 1000))
    (cd "$scratch/tree" && nice zip -q -r "$archive.tmp.zip" .)
    mv "$archive.tmp.zip" "$archive"
    rm -rf "$scratch/tree"
fi

# Warm the page cache.
cat "$random_file" "$archive" >/dev/null

run() { # NAME RUNS [hyperfine options...] COMMAND...
    local name=$1 runs=$2
    shift 2
    hyperfine --style basic --warmup 1 --runs "$runs" --export-json "$results/$name.json" "$@" \
        >"$results/$name.log" 2>&1 || { cat "$results/$name.log" >&2; exit 1; }
}

# Speed counts only if the bytes are right: both outputs must be the same tree.
rm -rf "$out" "$out-peer"
mkdir -p "$out" "$out-peer"
"$kvzip" extract "$archive" "$out" >/dev/null
bsdtar -xf "$archive" -C "$out-peer"
if ! diff -r -q "$out" "$out-peer" >"$results/extract-diff.log"; then
    echo "$0: kvzip extract and bsdtar -x disagree (see $results/extract-diff.log)" >&2
    exit 1
fi
rm -rf "$out" "$out-peer"

echo "Measuring (logs in $results)..."
for input in random:"$random_file" archive:"$archive"; do
    label=${input%%:*}
    file=${input#*:}
    run "$label-list" 5 -n "cat" "cat '$file' >/dev/null" \
        -n "kvzip list" "'$kvzip' list '$file' >/dev/null" \
        -n "kvzip list --advanced" "'$kvzip' list --advanced '$file' >/dev/null"
done
run archive-peers-list 5 -i -n "unzip -l" "unzip -l '$archive' >/dev/null" \
    -n "bsdtar -tf" "bsdtar -tf '$archive' >/dev/null" \
    -n "7z l" "7z l '$archive' >/dev/null"
run archive-extract 3 --prepare "rm -rf '$out'; mkdir -p '$out'" \
    -n "kvzip extract" "'$kvzip' extract '$archive' '$out' >/dev/null" \
    -n "bsdtar -x" "bsdtar -xf '$archive' -C '$out'" \
    -n "unzip" "unzip -q '$archive' -d '$out'" \
    -n "7z x" "7z x -y -bd '$archive' -o'$out' >/dev/null"
rm -rf "$out"
# Testing without writing: every entry decoded and its CRC-32 compared.
run archive-check 3 -i -n "kvzip check" "'$kvzip' check '$archive' >/dev/null" \
    -n "unzip -t" "unzip -tq '$archive' >/dev/null" \
    -n "7z t" "7z t -bd '$archive' >/dev/null" \
    -n "bsdtar -xO" "bsdtar -xOf '$archive' >/dev/null"

# Extraction at the machine's pace: each input to a RAM folder (the disk out
# of the way) and to disk, kvzip with its defaults (every core, the fast
# decoder), with one thread, and with zlib alone (KVZIP_FAST_INFLATE=0),
# against bsdtar -x; and the peak memory of each kvzip run.
ram=${KVZIP_BENCH_RAM:-/dev/shm/kvzip-bench-out}
small_archive="$scratch/small-100k.zip"
if [ ! -s "$small_archive" ]; then
    echo "Writing the archive of 100,000 small files (about 100 MB before compression)..."
    rm -rf "$scratch/small-tree"
    python3 "$here/make_tree.py" "$scratch/small-tree" 100000 $((100 * 1000 * 1000))
    (cd "$scratch/small-tree" && nice zip -q -r "$small_archive.tmp.zip" .)
    mv "$small_archive.tmp.zip" "$small_archive"
    rm -rf "$scratch/small-tree"
fi
extract_modes() { # NAME ARCHIVE FOLDER RUNS
    local name=$1 file=$2 folder=$3 runs=$4
    cat "$file" >/dev/null
    for variant in default jobs1 zlib zlib-jobs1; do
        local env="" flags=""
        case $variant in
        jobs1) flags="--jobs 1" ;;
        zlib) env="KVZIP_FAST_INFLATE=0" ;;
        zlib-jobs1) env="KVZIP_FAST_INFLATE=0" flags="--jobs 1" ;;
        esac
        rm -rf "$folder"
        env $env /usr/bin/time -f %M -o "$results/$name-$variant.rss" \
            "$kvzip" extract $flags "$file" "$folder" >/dev/null
    done
    run "$name" "$runs" --prepare "rm -rf '$folder'; mkdir -p '$folder'" \
        -n "kvzip extract" "'$kvzip' extract '$file' '$folder' >/dev/null" \
        -n "kvzip extract --jobs 1" "'$kvzip' extract --jobs 1 '$file' '$folder' >/dev/null" \
        -n "kvzip extract, zlib only" \
        "KVZIP_FAST_INFLATE=0 '$kvzip' extract '$file' '$folder' >/dev/null" \
        -n "kvzip extract --jobs 1, zlib only" \
        "KVZIP_FAST_INFLATE=0 '$kvzip' extract --jobs 1 '$file' '$folder' >/dev/null" \
        -n "bsdtar -x" "bsdtar -xf '$file' -C '$folder'"
    rm -rf "$folder"
}
pace_inputs=(archive:"$archive" small:"$small_archive")
if [ -d "$(dirname "$ram")" ] && [ -w "$(dirname "$ram")" ]; then
    for input in "${pace_inputs[@]}"; do
        extract_modes "pace-ram-${input%%:*}" "${input#*:}" "$ram" 5
    done
else
    echo "$0: no RAM folder at $(dirname "$ram") (KVZIP_BENCH_RAM): RAM runs left out" >&2
fi
for input in "${pace_inputs[@]}"; do
    extract_modes "pace-disk-${input%%:*}" "${input#*:}" "$out" 3
done

# Beyond 4 GiB: two stored files of 2.5 GiB in an archive with Zip64 records
# (zip -fz puts them in the local headers too). Both must be listed, written
# byte for byte, and each command must stay under 64 MiB of memory.
big_archive=""
if [ "${KVZIP_BENCH_BIG:-1}" != 0 ]; then
    big="$scratch/big"
    big_archive="$scratch/big-5g.zip"
    trap 'rm -rf "$big" "$big_archive" "$out"' EXIT
    echo "Writing the 5 GiB archive (two stored 2.5 GiB files)..."
    rm -rf "$big" "$big_archive"
    mkdir -p "$big"
    for part in part1.bin part2.bin; do
        head -c $((2560 * 1024 * 1024)) /dev/urandom >"$big/$part"
    done
    (cd "$big" && sha1sum part1.bin part2.bin >sums && nice zip -q -0 -fz "$big_archive" part1.bin part2.bin)
    rm -f "$big/part1.bin" "$big/part2.bin"

    /usr/bin/time -f %M -o "$results/big-list.rss" "$kvzip" list "$big_archive" >"$results/big-list.txt"
    rm -rf "$out"
    /usr/bin/time -f %M -o "$results/big-extract.rss" "$kvzip" extract "$big_archive" "$out" \
        >"$results/big-extract.txt"
    if ! grep -q ' part1.bin$' "$results/big-list.txt" || ! grep -q ' part2.bin$' "$results/big-list.txt"; then
        echo "$0: kvzip list of the 5 GiB archive misses a file (see $results/big-list.txt)" >&2
        exit 1
    fi
    if ! (cd "$out" && sha1sum --quiet -c "$big/sums"); then
        echo "$0: kvzip extract of the 5 GiB archive is not byte-identical" >&2
        exit 1
    fi
    rm -rf "$out"
    cat "$big_archive" >/dev/null
    run big-list 3 -n "kvzip list" "'$kvzip' list '$big_archive' >/dev/null" \
        -n "bsdtar -tf" "bsdtar -tf '$big_archive' >/dev/null"
    run big-extract 2 --prepare "rm -rf '$out'; mkdir -p '$out'" \
        -n "kvzip extract" "'$kvzip' extract '$big_archive' '$out' >/dev/null" \
        -n "bsdtar -x" "bsdtar -xf '$big_archive' -C '$out'"
    rm -rf "$out"
    if [ -w "$(dirname "$ram")" ] && [ "$(df --output=avail -k "$(dirname "$ram")" | tail -1)" -gt $((6 * 1024 * 1024)) ]; then
        extract_modes pace-ram-big "$big_archive" "$ram" 2
    fi
    extract_modes pace-disk-big "$big_archive" "$out" 2
fi

python3 "$here/report.py" "$results" "$random_file" "$archive" $big_archive

bash "$here/methods.sh" "$1"

echo
echo "The desktop program's dialogs on 100,000 entries (offscreen)..."
python3 "$here/gui_compare.py" "$1" "$scratch" 5
