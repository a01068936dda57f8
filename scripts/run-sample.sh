#!/usr/bin/env bash
# Salvages the bundled damaged archive into a temporary folder and shows
# what came back.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
sample=samples/damaged-backup.zip
out=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-sample.XXXXXX")

echo "== Entries that the scan finds in $sample"
"$build/bin/kvzip" list "$sample"
echo
echo "== Salvaging into $out"
status=0
"$build/bin/kvzip" extract "$sample" "$out" || status=$?
echo
echo "== Recovered files"
(cd "$out" && find . -type f -printf '%10s  %TY-%Tm-%Td %TH:%TM  %P\n' | sort -k4)
exit "$status"
