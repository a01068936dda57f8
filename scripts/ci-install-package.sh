#!/usr/bin/env bash
# CI only, as root: installs the Debian package the way a user does
# (apt-get install ./kelvane-zip_*.deb), uses what it installed - both
# programs, the manual, the completion, the menu entry, the log's place -
# and removes it again. The package is purged on every way out, so a failed
# run leaves the machine as it found it.
# Usage: ci-install-package.sh PACKAGE.deb SOURCE_DIR
set -euo pipefail
deb=$(readlink -f "$1")
source=$(cd "$2" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "ci-install-package.sh: needs root (it installs a package)" >&2
    exit 2
fi
if dpkg-query -W -f='${Status}' kelvane-zip 2>/dev/null | grep -q 'ok installed'; then
    echo "ci-install-package.sh: kelvane-zip is installed on this machine already; not replacing it" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt_get() { apt-get -q -y -o DPkg::Lock::Timeout=300 "$@"; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kvzip-ci-package.XXXXXX")
gui=""
finish() {
    local status=$?
    trap - EXIT INT TERM
    if [ -n "$gui" ]; then kill "$gui" 2>/dev/null || true; fi
    if dpkg-query -W kelvane-zip >/dev/null 2>&1; then
        apt_get purge kelvane-zip >/dev/null 2>&1 || dpkg --purge kelvane-zip >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
    if [ "$status" -eq 0 ]; then
        echo "package install check: passed"
    else
        echo "package install check: FAILED (the package was purged again)" >&2
    fi
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "== $*"; }

version=$(dpkg-deb -f "$deb" Version)
step "apt-get install ./$(basename "$deb")"
(cd "$(dirname "$deb")" && apt_get install "./$(basename "$deb")") >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install"; }
dpkg-query -W -f='${Status}' kelvane-zip | grep -q 'install ok installed' || fail "not installed"

step "kvzip --version, kelvane-zip --version"
[ "$(command -v kvzip)" = /usr/bin/kvzip ] || fail "kvzip is not /usr/bin/kvzip on PATH"
kvzip --version
[ "$(kvzip --version)" = "kvzip (Kelvane for Zip) $version" ] || fail "kvzip --version"
[ "$(env -u DISPLAY kelvane-zip --version)" = "kelvane-zip (Kelvane for Zip) $version" ] ||
    fail "kelvane-zip --version"

step "man kvzip"
if command -v man >/dev/null 2>&1; then
    [ "$(man -w kvzip)" = /usr/share/man/man1/kvzip.1.gz ] || fail "man -w kvzip: $(man -w kvzip)"
    MANWIDTH=80 man kvzip >"$work/kvzip.txt" 2>&1 || fail "man kvzip: $(cat "$work/kvzip.txt")"
    grep -q 'kvzip - salvage the files of damaged ZIP archives' "$work/kvzip.txt" || fail "man kvzip"
    sed -n '/^NAME/,/^$/p' "$work/kvzip.txt"
    MANWIDTH=80 man kelvane-zip >"$work/kelvane-zip.txt" 2>&1 || fail "man kelvane-zip"
    grep -q 'Step 1 :- Source Files Selection' "$work/kelvane-zip.txt" || fail "man kelvane-zip"
else
    echo "man-db is not installed: the pages are checked as files only"
    zcat /usr/share/man/man1/kvzip.1.gz | grep -q '^\.TH KVZIP 1' || fail "kvzip.1.gz"
fi

step "kvzip re<Tab> in an interactive bash"
if [ -f /usr/share/bash-completion/bash_completion ]; then
    # A login shell loads bash-completion (/etc/profile.d), which loads
    # ours from /usr/share/bash-completion/completions on first use.
    # Tab, then Ctrl+E and the rest of a command that shows what Tab made.
    printf 'kvzip re\t\x05 --help | head -1\nexit\n' |
        HOME="$work" timeout 60 script -qec 'bash -il' /dev/null >"$work/tab.log" 2>&1 || true
    grep -q 'Usage: kvzip repair' "$work/tab.log" ||
        fail "Tab did not complete 'kvzip re' to 'kvzip repair': $(tr -d '\r' <"$work/tab.log" | tail -5)"
else
    echo "bash-completion is not installed: completion is not checked"
fi

step "menu entry and \"Open with\" for ZIP archives"
desktop=/usr/share/applications/kelvane-zip.desktop
if command -v update-desktop-database >/dev/null 2>&1; then
    # Written by desktop-file-utils' trigger during the install.
    grep -q '^application/zip=.*kelvane-zip.desktop' /usr/share/applications/mimeinfo.cache ||
        fail "the menu cache does not offer kelvane-zip.desktop for application/zip"
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi

step "the desktop program from its menu entry, as a user, offscreen"
home="$work/home"
mkdir -p "$home"
cp "$source/samples/damaged-backup.zip" "$work/backup.zip"
chown -R nobody "$home"
chmod 755 "$work"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
command_line=${exec_line//%F/\"$work/backup.zip\"}
as_user=(setpriv --reuid=nobody --regid=nogroup --init-groups --reset-env
    env HOME="$home" PATH=/usr/bin:/bin)
log="$home/.local/state/kelvane-zip/Activity Log.txt"
# Every step executes the next (setpriv, env, sh), so $! is the program's id.
"${as_user[@]}" QT_QPA_PLATFORM=offscreen sh -c "exec $command_line" >"$work/gui.log" 2>&1 &
gui=$!
for _ in $(seq 100); do
    grep -qs 'Start Log File' "$log" && break
    kill -0 "$gui" 2>/dev/null || break
    sleep 0.2
done
running=0
kill -0 "$gui" 2>/dev/null && running=1
kill "$gui" 2>/dev/null || true
wait "$gui" 2>/dev/null || true
[ "$running" -eq 1 ] || fail "kelvane-zip ended by itself: $(cat "$work/gui.log")"
grep -q "Version $version" "$log" ||
    fail "the user's log is not in ~/.local/state/kelvane-zip (the data folder is not theirs)"

step "kvzip repair as a user: files salvaged, log in ~/.local/state/kelvane-zip"
mkdir "$work/out"
chown nobody "$work/out"
# The sample is damaged: 3 says something was saved but not all verified.
status=0
"${as_user[@]}" kvzip repair --dest "$work/out" --overwrite yes-to-all "$work/backup.zip" 2>/dev/null ||
    status=$?
[ "$status" -eq 3 ] || fail "kvzip repair of the damaged sample exited with $status, not 3"
[ -n "$(find "$work/out/Repair/backup" -type f)" ] || fail "kvzip repair salvaged nothing"
grep -q 'Repair' "$log" || fail "kvzip repair did not log"
[ ! -e "/usr/share/kelvane-zip/Activity Log.txt" ] || fail "a log was written into /usr/share"

step "as root: the log and the registration go to root's own folders, not /usr or /etc"
root_home="$work/root-home"
conffile_sum=$(md5sum /etc/kelvane-zip/registry.ini)
env HOME="$root_home" QT_QPA_PLATFORM=offscreen kelvane-zip /Register
env HOME="$root_home" kvzip analyse "$work/backup.zip" >/dev/null 2>&1 || true
[ "$(md5sum /etc/kelvane-zip/registry.ini)" = "$conffile_sum" ] ||
    fail "a start as root changed the conffile /etc/kelvane-zip/registry.ini"
grep -q 'Velmor.Application' "$root_home/.config/kelvane-zip/registry.ini" ||
    fail "root's registration is not in its own ~/.config/kelvane-zip/registry.ini"
grep -qs 'Start Log File' "$root_home/.local/state/kelvane-zip/Activity Log.txt" ||
    fail "root's log is not in its own ~/.local/state/kelvane-zip"
[ ! -e "/usr/share/kelvane-zip/Activity Log.txt" ] || fail "root wrote a log into /usr/share"

step "apt-get remove, then purge"
apt_get remove kelvane-zip >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get remove"; }
for file in /usr/bin/kvzip /usr/bin/kelvane-zip /usr/share/kelvane-zip "$desktop" \
    /usr/share/man/man1/kvzip.1.gz /usr/share/bash-completion/completions/kvzip; do
    [ ! -e "$file" ] || fail "apt-get remove left $file"
done
if [ -f /usr/share/applications/mimeinfo.cache ]; then
    ! grep -q 'kelvane-zip.desktop' /usr/share/applications/mimeinfo.cache ||
        fail "the menu cache still offers kelvane-zip.desktop"
fi
# The configuration stays until purged, as with every Debian package.
[ -f /etc/kelvane-zip/registry.ini ] || fail "apt-get remove took the conffile"
apt_get purge kelvane-zip >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get purge"; }
[ ! -e /etc/kelvane-zip ] || fail "apt-get purge left /etc/kelvane-zip"
! dpkg-query -W kelvane-zip >/dev/null 2>&1 || fail "dpkg still knows kelvane-zip after the purge"
