#!/usr/bin/env bash
# Refreshes the desktop's caches of menu entries ("Open with") and icons
# under PREFIX where the tools exist. With --create the menu cache is made
# when missing (install); without it only caches that exist are brought up
# to date (uninstall), and a menu cache that lists nothing any more goes.
prefix=${1:-/usr/local}
create=${2:-}
applications="$prefix/share/applications"
icons="$prefix/share/icons/hicolor"
if command -v update-desktop-database >/dev/null 2>&1 && [ -d "$applications" ] &&
    { [ "$create" = --create ] || [ -f "$applications/mimeinfo.cache" ]; }; then
    update-desktop-database -q "$applications" 2>/dev/null || true
fi
# The icon cache is optional (the desktop reads the folders without it): only
# one that exists is refreshed.
if command -v gtk-update-icon-cache >/dev/null 2>&1 && [ -f "$icons/icon-theme.cache" ]; then
    gtk-update-icon-cache -q -t "$icons" 2>/dev/null || true
fi
cache="$applications/mimeinfo.cache"
if [ "$create" != --create ] && [ -f "$cache" ] &&
    [ -z "$(find "$applications" -name '*.desktop' -print -quit)" ]; then
    rm -f "$cache"
fi
exit 0
