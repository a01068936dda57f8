#!/usr/bin/env bash
# Builds the Debian packages kvzip_<version>_<arch>.deb (the command line)
# and kelvane-zip_<version>_<arch>.deb (the desktop wizard) from a build
# folder with CPack and prints their paths, kvzip's first.
# Usage: make-package.sh [BUILD_DIR [OUT_DIR]]   (OUT_DIR: BUILD_DIR/package)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
out=${2:-$build/package}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# CPack installs into its staging folder through the build's install rules,
# which rewrites the build's install manifest; `make uninstall` needs the
# one of the developer's own `make install`.
manifest="$build/install_manifest.txt"
saved=""
if [ -f "$manifest" ]; then
    saved=$(mktemp)
    cp "$manifest" "$saved"
fi
restore() {
    if [ -n "$saved" ]; then mv "$saved" "$manifest"; else rm -f "$manifest"; fi
}
trap restore EXIT

rm -f "$out"/kvzip_*.deb "$out"/kelvane-zip_*.deb
if ! cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log" >&2
    echo "make-package.sh: cpack failed" >&2
    exit 1
fi
rm -rf "$out/_CPack_Packages"
for deb in "$out"/kvzip_*.deb "$out"/kelvane-zip_*.deb; do
    [ -f "$deb" ] || { echo "make-package.sh: cpack made no $(basename "$deb")" >&2; exit 1; }
    echo "$deb"
done
