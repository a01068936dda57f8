#!/usr/bin/env bash
# Installs the packages into a fresh Debian 12 made with debootstrap and
# uses them as a new user would: apt-get install of kvzip alone (what it
# pulls), then of kelvane-zip, kvzip --version, man kvzip, Tab completion,
# the menu entry, a repair, apt-get remove and purge. Prints the record as
# Markdown (docs/fresh-debian-12-install.md is one such record).
# Needs root, debootstrap and Debian's package mirror. With DISPLAY set to a
# local X server (e.g. Xvfb), the menu entry's window is shown on it.
# Usage: fresh-debian-check.sh PACKAGE_DIR SOURCE_DIR [ROOT_DIR] > record.md
#        (PACKAGE_DIR holds kvzip_*.deb and kelvane-zip_*.deb: make package)
set -euo pipefail
cli_deb=$(readlink -f "$(ls "$1"/kvzip_*.deb)")
gui_deb=$(readlink -f "$(ls "$1"/kelvane-zip_*.deb)")
source=$(cd "$2" && pwd)
root=${3:-/var/tmp/kvzip-debian12}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
[ "$(id -u)" -eq 0 ] || { echo "fresh-debian-check.sh: needs root" >&2; exit 2; }

mounted=()
unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
    done
    mounted=()
}
trap unmount_all EXIT
bind() {
    mkdir -p "$root$2"
    mount "${@:3}" "$1" "$root$2"
    mounted+=("$root$2")
}

if [ ! -x "$root/usr/bin/apt-get" ]; then
    echo "Making a minimal Debian 12 in $root ..." >&2
    debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
        { tail -20 "$root.debootstrap.log" >&2; exit 1; }
fi
bind proc /proc -t proc
bind /dev /dev --bind
bind /dev/pts /dev/pts --bind
if [ -n "${DISPLAY:-}" ] && [ -d /tmp/.X11-unix ]; then
    bind /tmp/.X11-unix /tmp/.X11-unix --bind
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$cli_deb" "$gui_deb" "$root/root/"
cp "$source/samples/damaged-backup.zip" "$root/root/backup.zip"
cli_package=$(basename "$cli_deb")
gui_package=$(basename "$gui_deb")

# Runs a shell line in the new system and records it with its output
# (folded away when the third argument is "fold").
run() {
    local title=$1 line=$2
    printf '\n### %s\n\n' "$title"
    [ "${3:-}" = fold ] && printf '<details><summary>%s</summary>\n\n' "$line"
    printf '```console\n# %s\n' "$line"
    local status=0
    chroot "$root" env -i HOME=/root TERM=dumb LANG=C.UTF-8 DISPLAY="${DISPLAY:-}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        DEBIAN_FRONTEND=noninteractive bash -c "$line" 2>&1 | sed 's/\r$//' || status=$?
    [ "$status" -eq 0 ] || printf '(exit status %d)\n' "$status"
    printf '```\n'
    [ "${3:-}" != fold ] || printf '\n</details>\n'
}

printf '# Kelvane for Zip on a fresh Debian 12\n\n'
printf 'Recorded %s by `scripts/fresh-debian-check.sh %s`: a minimal Debian 12\n' \
    "$(date -u +%Y-%m-%d)" "$(basename "$1")"
printf '(`debootstrap --variant=minbase bookworm`), the package installed with apt\n'
printf 'and used as a new user would.\n'

run "The new system" "cat /etc/debian_version; echo \$(dpkg-query -W | wc -l) packages; command -v kvzip || echo 'no kvzip yet'"
run "What every desktop install has and a minimal system lacks" \
    "apt-get update -q >/dev/null && apt-get install -y -q --no-install-recommends man-db bash-completion desktop-file-utils | tail -3"
run "Install the command line alone" "cd /root && apt-get install -y -o Dpkg::Use-Pty=0 ./$cli_package" fold
run "What it brought: no Qt" "echo \$(dpkg-query -W | wc -l) packages; dpkg-query -W | grep -ci qt || true; ldd /usr/bin/kvzip | grep -ci qt || true"
run "Install the wizard" "cd /root && apt-get install -y -o Dpkg::Use-Pty=0 ./$gui_package" fold
run "Versions" "kvzip --version; kelvane-zip --version"
run "The manual" "MANWIDTH=80 man -P cat kvzip | head -40; echo ...; man -w kvzip kelvane-zip"
run "kvzip re<Tab> in an interactive login shell" \
    "printf 'kvzip re\\t\\x05 --help | head -3\\nexit\\n' | timeout 60 script -qec 'bash -il' /dev/null | sed -e 's/\\x1b\\[[?0-9;]*[a-zA-Z]//g'"
run "The menu entry, and \"Open with\" for ZIP archives" \
    "cat /usr/share/applications/kelvane-zip.desktop; grep -h kelvane /usr/share/applications/mimeinfo.cache; desktop-file-validate /usr/share/applications/kelvane-zip.desktop && echo valid"
run "A user" "useradd -m -s /bin/bash ana && cp /root/backup.zip ~ana/ && chown ana: ~ana/backup.zip && ls -l ~ana"
if [ -n "${DISPLAY:-}" ]; then
    # The menu entry's Exec line, with the archive for %F, as the menu runs it.
    run "The menu entry's command, as that user, on the display" \
        'su ana -c '"'"'cd && command=$(sed -n "s/^Exec=//p" /usr/share/applications/kelvane-zip.desktop) &&
         echo "$command" && eval "${command/\%F/backup.zip} >/dev/null 2>&1 &" &&
         echo $! >/tmp/kvzip-window.pid && sleep 8 && kill -0 $! && echo "running: pid $!" && grep -a -m1 "^Version" ~/.local/state/kelvane-zip/"Activity Log.txt"'"'"
    if command -v import >/dev/null 2>&1; then
        shot=${SCREENSHOT:-/tmp/fresh-debian-12-window.png}
        import -display "$DISPLAY" -window root "$shot"
        echo "The display's picture: $shot" >&2
    fi
    # Only the program started above: its id, checked to live in the new system.
    pid=$(cat "$root/tmp/kvzip-window.pid" 2>/dev/null || true)
    if [ -n "$pid" ] && [ "$(readlink "/proc/$pid/root")" = "$(readlink -f "$root")" ]; then
        kill "$pid"
    fi
fi
run "kvzip repair as that user" \
    "su ana -c 'cd && kvzip repair --dest . --overwrite yes-to-all backup.zip; find Repair -type f | sort; ls ~/.local/state/kelvane-zip'"
run "Remove the wizard" "apt-get remove -y -o Dpkg::Use-Pty=0 kelvane-zip | tail -4; for f in /usr/bin/kelvane-zip /usr/share/kelvane-zip /usr/share/applications/kelvane-zip.desktop; do test -e \$f && echo \"left: \$f\" || echo \"gone: \$f\"; done; echo \"menu cache lines naming it: \$(grep -c kelvane /usr/share/applications/mimeinfo.cache)\"; dpkg -l kelvane-zip | tail -1"
run "Purge both" "apt-get purge -y -o Dpkg::Use-Pty=0 kelvane-zip kvzip | tail -2; for f in /etc/kelvane-zip /usr/bin/kvzip /usr/share/doc/kvzip /usr/share/doc/kelvane-zip; do test -e \$f && echo \"left: \$f\" || echo \"gone: \$f\"; done; dpkg -l kelvane-zip kvzip 2>&1 | tail -2"
