#!/usr/bin/env bash
# Builds the Debian package from the build and checks it with dpkg-deb: its
# name, control fields, file list and the files that name their place.
# Installing it for real is left to .ci/run (scripts/ci-install-package.sh).
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
if ! command -v dpkg-deb >/dev/null 2>&1; then
    echo "SKIP: dpkg-deb is missing (not a Debian system): the package is not built or checked"
    exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kvzip-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

deb=$(bash "$source/scripts/make-package.sh" "$build" "$work/out")
# One version everywhere: the programs, the package's name and its control.
version=$("$build/bin/kvzip" --version | awk '{ print $NF }')
[ "$(env -u DISPLAY "$build/bin/kelvane-zip" --version | awk '{ print $NF }')" = "$version" ] ||
    fail "kvzip and kelvane-zip print different versions"
[ "$(basename "$deb")" = "kelvane-zip_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "unexpected package name $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kelvane-zip ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version $(field Version) is not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
for field_name in Maintainer Description Section Priority Installed-Size; do
    [ -n "$(field "$field_name")" ] || fail "no $field_name field"
done
# Dependencies come from the binaries (shlibdeps), not from a list by hand.
depends=$(field Depends)
needed=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for library in libc6 libstdc++6 zlib1g libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6; do
    grep -qxF "$library" <<<"$needed" || fail "Depends lacks $library: $depends"
done
grep -q -- '-dev$' <<<"$needed" && fail "Depends names a development package: $depends"

# No maintainer scripts: the caches are the business of their owners' triggers.
dpkg-deb -e "$deb" "$work/control"
for script in preinst postinst prerm postrm; do
    [ ! -e "$work/control/$script" ] || fail "the package has a $script script"
done
[ "$(cat "$work/control/conffiles" 2>/dev/null)" = /etc/kelvane-zip/registry.ini ] ||
    fail "the registry file is not the package's one conffile"

files=$(dpkg-deb -c "$deb" | awk '{ print substr($0, index($0, "./") + 1) }' | grep -v '/$')
for file in /usr/bin/kvzip /usr/bin/kelvane-zip /etc/kelvane-zip/registry.ini \
    /usr/share/applications/kelvane-zip.desktop \
    /usr/share/icons/hicolor/48x48/apps/kelvane-zip.png \
    /usr/share/icons/hicolor/256x256/apps/kelvane-zip.png \
    /usr/share/kelvane-zip/Kelvane-Zip.bmp "/usr/share/kelvane-zip/Kelvane for Zip.html" \
    /usr/share/man/man1/kvzip.1.gz /usr/share/man/man1/kelvane-zip.1.gz \
    /usr/share/bash-completion/completions/kvzip /usr/share/zsh/vendor-completions/_kvzip \
    /usr/share/metainfo/io.github.kelvane.Zip.metainfo.xml \
    /usr/share/doc/kelvane-zip/copyright /usr/share/doc/kelvane-zip/changelog.gz; do
    grep -qxF "$file" <<<"$files" || fail "the package lacks $file"
done
stray=$(grep -vE '^/usr/(bin|share)/|^/etc/kelvane-zip/' <<<"$files" || true)
[ -z "$stray" ] || fail "files outside /usr and /etc/kelvane-zip: $stray"
grep -q 'Activity Log' <<<"$files" && fail "the build's activity log is in the package"

dpkg-deb -x "$deb" "$work/root"
root="$work/root"
grep -qx 'FilePath=/usr/share/kelvane-zip' "$root/etc/kelvane-zip/registry.ini" ||
    fail "the registry file does not name /usr/share/kelvane-zip"
grep -qx 'Exec="/usr/bin/kelvane-zip" %F' "$root/usr/share/applications/kelvane-zip.desktop" ||
    fail "the menu entry does not start /usr/bin/kelvane-zip"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$root/usr/share/applications/kelvane-zip.desktop" ||
        fail "the menu entry is not valid"
fi
[ "$("$root/usr/bin/kvzip" --version | awk '{ print $NF }')" = "$version" ] ||
    fail "the packaged kvzip does not run"
zcat "$root/usr/share/man/man1/kvzip.1.gz" | grep -q "Kelvane for Zip $version" ||
    fail "the packaged manual page does not carry the version"

metainfo="$root/usr/share/metainfo/io.github.kelvane.Zip.metainfo.xml"
if command -v appstreamcli >/dev/null 2>&1; then
    appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
        fail "appstreamcli validate: $(cat "$work/appstream.log")"
else
    fail "appstreamcli is missing (Debian package appstream): the metadata is not validated"
fi
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata's release is not $version"
# The screenshots are the README's.
shots=$(grep -oE '<image>[^<]*</image>' "$metainfo" | sed -E 's|.*/([^/<]+)</image>|\1|')
[ -n "$shots" ] || fail "the metadata names no screenshot"
for shot in $shots; do
    [ -f "$source/docs/screenshots/$shot" ] || fail "screenshot $shot is not in docs/screenshots"
    grep -q "docs/screenshots/$shot" "$source/README.md" || fail "the README does not show $shot"
done

[ "$failures" -eq 0 ] || exit 1
echo "package test: $(basename "$deb") checked"
