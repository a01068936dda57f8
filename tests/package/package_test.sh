#!/usr/bin/env bash
# Builds the Debian packages from the build and checks them with dpkg-deb
# and lintian: their names, control fields, file lists, the files that name
# their place and the hardening of the programs. Installing them for real
# is left to .ci/run (scripts/ci-install-package.sh).
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

mapfile -t debs < <(bash "$source/scripts/make-package.sh" "$build" "$work/out")
[ "${#debs[@]}" -eq 2 ] || { echo "FAIL: make-package.sh made ${debs[*]}" >&2; exit 1; }
cli=${debs[0]}
gui=${debs[1]}
# One version everywhere: the programs, the packages' names and their control.
version=$("$build/bin/kvzip" --version | awk '{ print $NF }')
[ "$(env -u DISPLAY "$build/bin/kelvane-zip" --version | awk '{ print $NF }')" = "$version" ] ||
    fail "kvzip and kelvane-zip print different versions"
arch=$(dpkg --print-architecture)
[ "$(basename "$cli")" = "kvzip_${version}_$arch.deb" ] || fail "unexpected package name $(basename "$cli")"
[ "$(basename "$gui")" = "kelvane-zip_${version}_$arch.deb" ] ||
    fail "unexpected package name $(basename "$gui")"

field() { dpkg-deb -f "$1" "$2"; }
for deb in "$cli" "$gui"; do
    name=$(basename "$deb" | cut -d_ -f1)
    [ "$(field "$deb" Package)" = "$name" ] || fail "Package: $(field "$deb" Package)"
    [ "$(field "$deb" Version)" = "$version" ] || fail "$name: Version $(field "$deb" Version)"
    [ "$(field "$deb" Architecture)" = "$arch" ] || fail "$name: Architecture"
    for field_name in Maintainer Description Section Priority Installed-Size; do
        [ -n "$(field "$deb" "$field_name")" ] || fail "$name: no $field_name field"
    done
    # No maintainer scripts: the caches are the business of their owners' triggers.
    dpkg-deb -e "$deb" "$work/control-$name"
    for script in preinst postinst prerm postrm; do
        [ ! -e "$work/control-$name/$script" ] || fail "$name has a $script script"
    done
done
# Dependencies come from the binaries (shlibdeps), not from a list by hand;
# the command line's name no Qt library, the wizard's its command line of
# the same version.
needs() { field "$1" Depends | tr ',' '\n' | sed 's/^ *//'; }
for library in libc6 libstdc++6 zlib1g; do
    needs "$cli" | grep -q "^$library " || fail "kvzip's Depends lacks $library: $(field "$cli" Depends)"
done
needs "$cli" | grep -qi 'qt' && fail "kvzip depends on Qt: $(field "$cli" Depends)"
needs "$gui" | grep -qxF "kvzip (= $version)" ||
    fail "kelvane-zip does not depend on kvzip (= $version): $(field "$gui" Depends)"
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6; do
    needs "$gui" | grep -q "^$library " || fail "kelvane-zip's Depends lacks $library"
done
for deb in "$cli" "$gui"; do needs "$deb"; done | awk '{ print $1 }' | grep -q -- '-dev$' &&
    fail "a package depends on a development package"
[ ! -e "$work/control-kvzip/conffiles" ] || fail "kvzip has conffiles"
[ "$(cat "$work/control-kelvane-zip/conffiles" 2>/dev/null)" = /etc/kelvane-zip/registry.ini ] ||
    fail "the registry file is not kelvane-zip's one conffile"

contents() { dpkg-deb -c "$1" | awk '{ print substr($0, index($0, "./") + 1) }' | grep -v '/$'; }
cli_files=$(contents "$cli")
gui_files=$(contents "$gui")
for file in /usr/bin/kvzip /usr/share/man/man1/kvzip.1.gz \
    /usr/share/bash-completion/completions/kvzip /usr/share/zsh/vendor-completions/_kvzip \
    /usr/share/doc/kvzip/copyright /usr/share/doc/kvzip/changelog.gz; do
    grep -qxF "$file" <<<"$cli_files" || fail "kvzip lacks $file"
done
for file in /usr/bin/kelvane-zip /etc/kelvane-zip/registry.ini \
    /usr/share/applications/kelvane-zip.desktop \
    /usr/share/icons/hicolor/48x48/apps/kelvane-zip.png \
    /usr/share/icons/hicolor/256x256/apps/kelvane-zip.png \
    /usr/share/kelvane-zip/Kelvane-Zip.bmp "/usr/share/kelvane-zip/Kelvane for Zip.html" \
    /usr/share/man/man1/kelvane-zip.1.gz /usr/share/metainfo/io.github.kelvane.Zip.metainfo.xml \
    /usr/share/doc/kelvane-zip/copyright /usr/share/doc/kelvane-zip/changelog.gz; do
    grep -qxF "$file" <<<"$gui_files" || fail "kelvane-zip lacks $file"
done
# The command line's package holds the command line alone, and no file is
# in both.
stray=$(grep -vE '^/usr/(bin/kvzip|share/man/man1/kvzip\.1\.gz|share/(bash-completion|zsh)/.*kvzip|share/doc/kvzip/.*)$' \
    <<<"$cli_files" || true)
[ -z "$stray" ] || fail "kvzip holds more than the command line: $stray"
shared=$(comm -12 <(sort <<<"$cli_files") <(sort <<<"$gui_files"))
[ -z "$shared" ] || fail "files in both packages: $shared"
stray=$(grep -vE '^/usr/(bin|share)/|^/etc/kelvane-zip/' <<<"$gui_files" || true)
[ -z "$stray" ] || fail "files outside /usr and /etc/kelvane-zip: $stray"
grep -q 'Activity Log' <<<"$gui_files" && fail "the build's activity log is in the package"

root="$work/root"
dpkg-deb -x "$cli" "$root"
dpkg-deb -x "$gui" "$root"
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
ldd "$root/usr/bin/kvzip" | grep -i 'qt' && fail "the packaged kvzip loads a Qt library"
# Built with Debian's hardening flags, stripped of the compiler's .comment.
for program in kvzip kelvane-zip; do
    binary="$root/usr/bin/$program"
    readelf -S -W "$binary" | grep -qF ' .comment ' && fail "$program keeps its .comment section"
    readelf -l -W "$binary" | grep -q 'GNU_RELRO' || fail "$program has no RELRO segment"
    readelf -d -W "$binary" | grep -qE 'FLAGS.*\bNOW\b' || fail "$program is not bound now (-z now)"
    symbols=$(readelf --dyn-syms -W "$binary")
    grep -q '__stack_chk_fail' <<<"$symbols" || fail "$program has no stack protector"
    grep -qE '__[a-z]+_chk@' <<<"$symbols" || fail "$program has no fortified function"
done
zcat "$root/usr/share/man/man1/kvzip.1.gz" | grep -q "Kelvane for Zip $version" ||
    fail "the packaged manual page does not carry the version"

# What Debian's own packages are held to: no error, no warning, no
# hardening tag, pedantic tags included.
lintian -EvIL +pedantic "$cli" "$gui" >"$work/lintian.log" 2>&1 ||
    fail "lintian failed: $(cat "$work/lintian.log")"
sed 's/^/lintian: /' "$work/lintian.log"
! grep -E '^[EWX]:|hardening' "$work/lintian.log" || fail "lintian finds fault with the packages"

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
echo "package test: $(basename "$cli") and $(basename "$gui") checked"
