#!/usr/bin/env bash
# Installs the build into a temporary prefix, runs what was installed, and
# uninstalls it again: nothing of it may stay behind.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kvzip-install.XXXXXX")
manifest="$build/install_manifest.txt"
saved=""
# The install step rewrites the build's manifest; keep the developer's own.
if [ -f "$manifest" ]; then
    saved=$(mktemp)
    cp "$manifest" "$saved"
fi
cleanup() {
    rm -rf "$prefix"
    if [ -n "$saved" ]; then mv "$saved" "$manifest"; else rm -f "$manifest"; fi
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/kelvane-zip bin/kvzip etc/kelvane-zip/registry.ini \
    share/kelvane-zip/Kelvane-Zip.bmp share/kelvane-zip/Skin2.bmp share/kelvane-zip/Flash.bmp \
    "share/kelvane-zip/Kelvane for Zip.html" share/applications/kelvane-zip.desktop \
    share/icons/hicolor/48x48/apps/kelvane-zip.png share/icons/hicolor/256x256/apps/kelvane-zip.png \
    share/man/man1/kvzip.1.gz share/man/man1/kelvane-zip.1.gz \
    share/bash-completion/completions/kvzip share/zsh/site-functions/_kvzip \
    share/metainfo/io.github.kelvane.Zip.metainfo.xml share/doc/kelvane-zip/copyright; do
    [ -e "$prefix/$file" ] || fail "$file was not installed"
done
[ ! -e "$prefix/share/kelvane-zip/Activity Log.txt" ] || fail "the build's activity log was installed"
# The files that name their place name this prefix, not the build's.
grep -qx "FilePath=$prefix/share/kelvane-zip" "$prefix/etc/kelvane-zip/registry.ini" ||
    fail "the installed registry file does not name the data folder"
desktop="$prefix/share/applications/kelvane-zip.desktop"
grep -q '^MimeType=application/zip;' "$desktop" || fail "no ZIP association in the menu entry"
grep -qx "Exec=\"$prefix/bin/kelvane-zip\" %F" "$desktop" || fail "the menu entry does not start the program"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "the menu entry is not valid"
fi

"$prefix/bin/kvzip" --help | grep -q repair || fail "kvzip --help"
env -u DISPLAY "$prefix/bin/kelvane-zip" --version | grep -q 'Kelvane for Zip' ||
    fail "kelvane-zip --version needs a display"

# Without a store of the user's, the installed programs find the one the
# install put in <prefix>/etc, and the log goes to the data folder it names.
(
    export HOME="$prefix/home" XDG_CONFIG_HOME="$prefix/home/.config"
    unset KVZIP_REGISTRY
    "$prefix/bin/kvzip" analyse "$source/samples/damaged-backup.zip" >/dev/null 2>&1
) || fail "the installed kvzip analyse failed"
grep -qs 'Start Log File' "$prefix/share/kelvane-zip/Activity Log.txt" ||
    fail "the installed kvzip did not find its registry file in $prefix/etc"
rm -rf "$prefix/home" "$prefix/share/kelvane-zip/Activity Log.txt"

# The desktop program, offscreen, with a store that names the installed data.
store="$prefix/test-registry.ini"
printf '[HKEY_CLASSES_ROOT\\KVZIP]\nFilePath=%s/share/kelvane-zip\n' "$prefix" >"$store"
export KVZIP_REGISTRY="$store" QT_QPA_PLATFORM=offscreen
"$prefix/bin/kelvane-zip" /Register || fail "kelvane-zip /Register"
grep -q 'Velmor.Application' "$store" || fail "/Register wrote no registration"
[ ! -e "$prefix/share/kelvane-zip/Activity Log.txt" ] || fail "/Register showed the main dialog"
"$prefix/bin/kelvane-zip" -unregserver || fail "kelvane-zip -unregserver"
! grep -q 'Velmor' "$store" || fail "-unregserver left the registration"
# It runs until its window is closed: wait for the start banner, then end it.
log="$prefix/share/kelvane-zip/Activity Log.txt"
"$prefix/bin/kelvane-zip" "$source/samples/damaged-backup.zip" &
gui=$!
for _ in $(seq 150); do
    grep -qs 'Start Log File' "$log" && break
    kill -0 "$gui" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$gui" 2>/dev/null || fail "the desktop program ended by itself"
kill "$gui"
wait "$gui" 2>/dev/null || true
grep -q 'Start Log File' "$log" || fail "the main dialog wrote no start banner"
rm -f "$store" "$prefix/share/kelvane-zip/Activity Log.txt"

bash "$source/scripts/uninstall.sh" "$build" "$prefix" >/dev/null
left=$(find "$prefix" -type f)
[ -z "$left" ] || fail "uninstall left: $left"
[ ! -e "$prefix/share/kelvane-zip" ] || fail "uninstall left the data folder"
echo "install test: 1 passed, 0 failed"
