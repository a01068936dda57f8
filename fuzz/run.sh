#!/usr/bin/env bash
# Fuzzes the engine for SECONDS at low priority, on one core.
# Usage: fuzz/run.sh BUILD SECONDS [LIBFUZZER OPTION]...
# The seeds stay as they are: the fuzzer works on a copy kept in BUILD, so
# later runs go on from what earlier ones found. Crashes land in fuzz/.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 BUILD SECONDS [LIBFUZZER OPTION]..." >&2
    exit 2
fi
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
target="$(cd "$build" 2>/dev/null && pwd)/bin/fuzz_engine"
if [ ! -x "$target" ]; then
    echo "$0: $target not found; build with -DKVZIP_FUZZ=ON first" >&2
    exit 1
fi

build=$(cd "$build" && pwd)
work="$build/fuzz-corpus"
mkdir -p "$work"
cp -n "$here"/corpus/* "$work"/

# Every input's entries are extracted to files: a memory file system halves the
# time each one takes.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

# The job writes its log into the current folder: keep it in BUILD. The
# log is echoed when the job ends.
cd "$build"
nice -n 19 "$target" "$work" \
    -dict="$here/zip.dict" \
    -max_len=65536 \
    -max_total_time="$seconds" \
    -timeout=25 \
    -rss_limit_mb=2048 \
    -jobs=1 -workers=1 \
    -print_final_stats=1 \
    -artifact_prefix="$here/" "$@"
