#!/usr/bin/env bash
# Removes what `make install` put under PREFIX, by the list of installed
# files that the install step wrote, and then the folders that it left empty.
# Usage: uninstall.sh BUILD_DIR PREFIX
set -euo pipefail
build=${1:-build}
prefix=${2:-/usr/local}
manifest="$build/install_manifest.txt"
if [ ! -f "$manifest" ]; then
    echo "uninstall.sh: $manifest not found: nothing was installed from this build" >&2
    exit 1
fi
prefix=$(cd "$prefix" 2>/dev/null && pwd -P) || { echo "uninstall.sh: no $2" >&2; exit 1; }
while IFS= read -r file || [ -n "$file" ]; do
    [ -n "$file" ] || continue
    # Only files under PREFIX: a manifest from another prefix is left alone.
    case "$(cd "$(dirname "$file")" 2>/dev/null && pwd -P)/" in
    "$prefix"/*) rm -f -- "$file" ;;
    *) echo "uninstall.sh: skipping $file (not under $prefix)" >&2 ;;
    esac
done <"$manifest"
# Only the program's own folders: shared ones (bin, share/applications, the
# icon theme) stay even when empty.
for dir in share/kelvane-zip share/doc/kelvane-zip share/doc/kvzip etc/kelvane-zip; do
    [ -d "$prefix/$dir" ] && find "$prefix/$dir" -depth -type d -empty -delete 2>/dev/null || true
done
bash "$(dirname "$0")/desktop-refresh.sh" "$prefix"
echo "Removed Kelvane for Zip from $prefix"
