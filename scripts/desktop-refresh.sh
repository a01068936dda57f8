#!/usr/bin/env bash
# Refreshes the desktop's caches of menu entries ("Open with") and icons
# under PREFIX where the tools exist. With --create the caches are made when
# missing (install); without it only caches that exist are brought up to date
# (uninstall), so that nothing new is left behind.
prefix=${1:-/usr/local}
create=${2:-}
applications="$prefix/share/applications"
icons="$prefix/share/icons/hicolor"
if command -v update-desktop-database >/dev/null 2>&1 && [ -d "$applications" ] &&
    { [ "$create" = --create ] || [ -f "$applications/mimeinfo.cache" ]; }; then
    update-desktop-database -q "$applications" 2>/dev/null || true
fi
if command -v gtk-update-icon-cache >/dev/null 2>&1 && [ -d "$icons" ] &&
    { [ "$create" = --create ] || [ -f "$icons/icon-theme.cache" ]; }; then
    gtk-update-icon-cache -q -t "$icons" 2>/dev/null || true
fi
exit 0
