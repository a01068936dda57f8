#!/usr/bin/env bash
# CI only, as root: installs the Debian packages the way a user does
# (apt-get install ./kvzip_*.deb, then ./kelvane-zip_*.deb), uses what they
# installed - both programs, as root and as a user, the manuals, the
# completion, the menu entry, the log's place - and purges them again,
# checking that nothing is left behind. The command line's package is
# installed and used alone first: it must pull no Qt library. The packages
# are purged on every way out, so a failed run leaves the machine as it
# found it.
# Usage: ci-install-package.sh PACKAGE_DIR SOURCE_DIR
set -euo pipefail
packages=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "ci-install-package.sh: needs root (it installs packages)" >&2
    exit 2
fi
cli_deb=$(ls "$packages"/kvzip_*.deb)
gui_deb=$(ls "$packages"/kelvane-zip_*.deb)
for name in kvzip kelvane-zip; do
    if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'ok installed'; then
        echo "ci-install-package.sh: $name is installed on this machine already; not replacing it" >&2
        exit 1
    fi
done
export DEBIAN_FRONTEND=noninteractive
apt_get() { apt-get -q -y -o DPkg::Lock::Timeout=300 "$@"; }
# In dpkg's database in any state but "not-installed" (which a package that
# another one Breaks is recorded as without ever having been installed).
known() {
    local status
    status=$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null) &&
        [ -n "$status" ] && [ "$status" != not-installed ]
}

work=$(mktemp -d "${TMPDIR:-/tmp}/kvzip-ci-package.XXXXXX")
gui=""
finish() {
    local status=$?
    trap - EXIT INT TERM
    if [ -n "$gui" ]; then kill "$gui" 2>/dev/null || true; fi
    if known kelvane-zip || known kvzip; then
        apt_get purge kelvane-zip kvzip >/dev/null 2>&1 ||
            dpkg --purge kelvane-zip kvzip >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
    if [ "$status" -eq 0 ]; then
        echo "package install check: passed"
    else
        echo "package install check: FAILED (the packages were purged again)" >&2
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
install_deb() {
    step "apt-get install ./$(basename "$1")"
    (cd "$(dirname "$1")" && apt_get install "./$(basename "$1")") >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log" >&2; fail "apt-get install $(basename "$1")"; }
}

version=$(dpkg-deb -f "$cli_deb" Version)
home="$work/home"
root_home="$work/root-home"
mkdir -p "$home" "$work/out" "$work/root-out"
cp "$source/samples/damaged-backup.zip" "$work/backup.zip"
chown -R nobody "$home" "$work/out"
chmod 755 "$work"
as_user=(setpriv --reuid=nobody --regid=nogroup --init-groups --reset-env
    env HOME="$home" PATH=/usr/bin:/bin)
log="$home/.local/state/kelvane-zip/Activity Log.txt"
root_log="$root_home/.local/state/kelvane-zip/Activity Log.txt"

install_deb "$cli_deb"
dpkg-query -W -f='${Status}' kvzip | grep -q 'install ok installed' || fail "kvzip is not installed"
! known kelvane-zip || fail "installing kvzip brought kelvane-zip"

step "kvzip alone: no Qt library, neither loaded nor among its dependencies"
[ "$(command -v kvzip)" = /usr/bin/kvzip ] || fail "kvzip is not /usr/bin/kvzip on PATH"
! ldd /usr/bin/kvzip | grep -i 'qt' || fail "kvzip loads a Qt library"
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances kvzip | grep -v '^ ' | sort -u >"$work/closure.txt"
echo "kvzip and what it depends on: $(wc -l <"$work/closure.txt") packages"
! grep -i 'qt' "$work/closure.txt" || fail "kvzip pulls a Qt package"

step "kvzip --version"
kvzip --version
[ "$(kvzip --version)" = "kvzip (Kelvane for Zip) $version" ] || fail "kvzip --version"

step "man kvzip"
if command -v man >/dev/null 2>&1; then
    [ "$(man -w kvzip)" = /usr/share/man/man1/kvzip.1.gz ] || fail "man -w kvzip: $(man -w kvzip)"
    MANWIDTH=80 man kvzip >"$work/kvzip.txt" 2>&1 || fail "man kvzip: $(cat "$work/kvzip.txt")"
    grep -q 'kvzip - salvage the files of damaged ZIP archives' "$work/kvzip.txt" || fail "man kvzip"
    sed -n '/^NAME/,/^$/p' "$work/kvzip.txt"
else
    echo "man-db is not installed: the page is checked as a file only"
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

# The sample is damaged: 3 says something was saved but not all verified.
repair() {
    local status=0
    "$@" kvzip repair --dest "$out" --overwrite yes-to-all "$work/backup.zip" 2>/dev/null ||
        status=$?
    [ "$status" -eq 3 ] || fail "kvzip repair of the damaged sample exited with $status, not 3"
    [ -n "$(find "$out/Repair/backup" -type f)" ] || fail "kvzip repair salvaged nothing"
}
step "kvzip repair, without the wizard's package, as a user and as root"
out="$work/out"
repair "${as_user[@]}"
grep -q 'Repair' "$log" || fail "kvzip repair did not log into the user's ~/.local/state/kelvane-zip"
out="$work/root-out"
repair env HOME="$root_home"
grep -q 'Repair' "$root_log" || fail "kvzip repair as root did not log into its ~/.local/state"
for place in /usr/share/kelvane-zip /etc/kelvane-zip; do
    [ ! -e "$place" ] || fail "kvzip alone made $place"
done

install_deb "$gui_deb"
dpkg-query -W -f='${Status}' kelvane-zip | grep -q 'install ok installed' ||
    fail "kelvane-zip is not installed"
[ "$(env -u DISPLAY kelvane-zip --version)" = "kelvane-zip (Kelvane for Zip) $version" ] ||
    fail "kelvane-zip --version"
if command -v man >/dev/null 2>&1; then
    MANWIDTH=80 man kelvane-zip >"$work/kelvane-zip.txt" 2>&1 || fail "man kelvane-zip"
    grep -q 'Step 1 :- Source Files Selection' "$work/kelvane-zip.txt" || fail "man kelvane-zip"
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
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
command_line=${exec_line//%F/\"$work/backup.zip\"}
: >"$log"
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
gui=""
[ "$running" -eq 1 ] || fail "kelvane-zip ended by itself: $(cat "$work/gui.log")"
grep -q "Version $version" "$log" ||
    fail "the user's log is not in ~/.local/state/kelvane-zip (the data folder is not theirs)"
out="$work/out"
repair "${as_user[@]}"
[ ! -e "/usr/share/kelvane-zip/Activity Log.txt" ] || fail "a log was written into /usr/share"

step "as root: the log and the registration go to root's own folders, not /usr or /etc"
conffile_sum=$(md5sum /etc/kelvane-zip/registry.ini)
: >"$root_log"
env HOME="$root_home" QT_QPA_PLATFORM=offscreen kelvane-zip /Register
env HOME="$root_home" kvzip analyse "$work/backup.zip" >/dev/null 2>&1 || true
[ "$(md5sum /etc/kelvane-zip/registry.ini)" = "$conffile_sum" ] ||
    fail "a start as root changed the conffile /etc/kelvane-zip/registry.ini"
grep -q 'Velmor.Application' "$root_home/.config/kelvane-zip/registry.ini" ||
    fail "root's registration is not in its own ~/.config/kelvane-zip/registry.ini"
grep -qs 'Start Log File' "$root_log" || fail "root's log is not in its own ~/.local/state/kelvane-zip"
[ ! -e "/usr/share/kelvane-zip/Activity Log.txt" ] || fail "root wrote a log into /usr/share"

step "apt-get remove kelvane-zip: the command line stays"
apt_get remove kelvane-zip >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get remove"; }
for file in /usr/bin/kelvane-zip /usr/share/kelvane-zip "$desktop"; do
    [ ! -e "$file" ] || fail "apt-get remove left $file"
done
if [ -f /usr/share/applications/mimeinfo.cache ]; then
    ! grep -q 'kelvane-zip.desktop' /usr/share/applications/mimeinfo.cache ||
        fail "the menu cache still offers kelvane-zip.desktop"
fi
# The configuration stays until purged, as with every Debian package.
[ -f /etc/kelvane-zip/registry.ini ] || fail "apt-get remove took the conffile"
[ "$(kvzip --version)" = "kvzip (Kelvane for Zip) $version" ] || fail "kvzip went with kelvane-zip"

step "apt-get purge kelvane-zip kvzip: nothing left behind"
apt_get purge kelvane-zip kvzip >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get purge"; }
for name in kvzip kelvane-zip; do
    ! known "$name" || fail "dpkg still knows $name after the purge"
done
left=""
while IFS= read -r file; do
    [ ! -e "$file" ] && [ ! -L "$file" ] || left+=" $file"
done < <(for deb in "$cli_deb" "$gui_deb"; do
    dpkg-deb -c "$deb" | awk '{ print substr($0, index($0, "./") + 1) }' | grep -v '/$'
done)
for folder in /etc/kelvane-zip /usr/share/kelvane-zip /usr/share/doc/kvzip /usr/share/doc/kelvane-zip; do
    [ ! -e "$folder" ] || left+=" $folder"
done
[ -z "$left" ] || fail "apt-get purge left:$left"
