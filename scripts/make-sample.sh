#!/usr/bin/env bash
# Rebuilds samples/damaged-backup.zip from samples/make_sample.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target kvzip_make_sample -j 2
"$build/bin/kvzip_make_sample" samples/damaged-backup.zip
