#!/usr/bin/env bash
# Every command and option that the programs' --help texts print is in their
# manual page, and the pages format without warnings.
# Usage: manual_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The page's text with roff's escaped dashes made plain.
page_text() { sed 's/\\-/-/g' "$source/docs/man/$1.1"; }

# Options and switches as a help text prints them: --name, -x, /Name.
options_in() { grep -oE '(^|[][ ,|])(--?[a-z][a-z0-9-]*|/[A-Z][A-Za-z]+)' | sed 's/^[][ ,|]//' | sort -u; }

check_page() {
    local page=$1 origin=$2 help=$3 text option
    text=$(page_text "$page")
    while read -r option; do
        [ -n "$option" ] || continue
        grep -qE -- "(^|[^A-Za-z-])$option([^A-Za-z-]|\$)" <<<"$text" ||
            fail "$page(1) does not document $option, which '$origin' prints: add it to docs/man/$page.1"
    done < <(options_in <<<"$help")
}

kvzip="$build/bin/kvzip"
top=$("$kvzip" --help)
check_page kvzip "kvzip --help" "$top"
# The commands are those of the "Commands:" section.
commands=$(sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p' <<<"$top")
[ -n "$commands" ] || fail "no commands found in 'kvzip --help'"
# The entries of the COMMANDS section: the first word after each .TP.
documented=$(awk '/^\.SH/ { inside = ($2 == "COMMANDS") } inside && tagged { print $2 } { tagged = inside && /^\.TP/ }' \
    "$source/docs/man/kvzip.1")
for command in $commands; do
    grep -qx -- "$command" <<<"$documented" ||
        fail "kvzip(1) has no entry for the command '$command': add it under COMMANDS in docs/man/kvzip.1"
    check_page kvzip "kvzip $command --help" "$("$kvzip" "$command" --help)"
done
check_page kelvane-zip "kelvane-zip --help" "$(env -u DISPLAY "$build/bin/kelvane-zip" --help)"

# The exit codes the usage lists are explained.
for code in 0 1 2 3 130; do
    grep -qE "^\.B $code\$" "$source/docs/man/kvzip.1" || fail "kvzip(1) does not explain exit code $code"
done

if command -v groff >/dev/null 2>&1; then
    for page in kvzip kelvane-zip; do
        warnings=$(groff -man -ww -z -Tutf8 "$build/packaging/man/$page.1" 2>&1 || true)
        [ -z "$warnings" ] || fail "$page(1) formats with warnings: $warnings"
    done
else
    echo "groff is missing: the pages' formatting is not checked"
fi

[ "$failures" -eq 0 ] || exit 1
echo "manual test: every option and command of the --help texts is documented"
