#!/usr/bin/env bash
# The shell completion of kvzip, driven as bash drives it on <Tab> and, in a
# pseudo-terminal, as a user drives zsh: commands, options, the answers of
# --overwrite, code pages for --name-encoding, ZIP archives as operands and
# folders where a folder is wanted.
# Usage: completion_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
framework=/usr/share/bash-completion/bash_completion
if [ ! -f "$framework" ]; then
    echo "SKIP: bash-completion is not installed: the completion is not checked"
    exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kvzip-completion.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/out folder" "$work/logs"
touch "$work/a.zip" "$work/B.ZIP" "$work/notes.txt"

# Runs one completion in a fresh interactive-like bash and prints the
# candidates sorted, one a line. The line ends where the cursor is.
complete_line() {
    (cd "$work" && PATH="$build/bin:$PATH" bash --norc --noprofile -c '
        source "$1"
        source "$2"
        COMP_LINE=$3
        COMP_POINT=${#COMP_LINE}
        read -ra COMP_WORDS <<<"$COMP_LINE"
        [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _kvzip kvzip "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$framework" \
        "$source/packaging/completion/kvzip.bash" "$1")
}

failures=0
expect() {
    local line=$1 expected=$2 got
    got=$(complete_line "$line" | paste -sd' ')
    if [ "$got" != "$expected" ]; then
        echo "FAIL: '$line<Tab>' offered '$got', expected '$expected'" >&2
        failures=$((failures + 1))
    fi
}

expect "kvzip re" "repair"
expect "kvzip " "analyse check extract list repair"
expect "kvzip --v" "--version"
expect "kvzip --n" "--name-encoding"
expect "kvzip repair --ov" "--overwrite"
expect "kvzip repair --overwrite " "ask no no-to-all yes yes-to-all"
expect "kvzip repair --overwrite=yes" "yes yes-to-all"
expect "kvzip repair --dest " "logs out folder"
expect "kvzip repair --current " ""
expect "kvzip analyse --log " "B.ZIP a.zip logs notes.txt out folder"
expect "kvzip analyse " "B.ZIP a.zip logs out folder"
expect "kvzip repair --dest logs " "B.ZIP a.zip logs out folder"
expect "kvzip extract a.zip " "logs out folder"
expect "kvzip extract --json a.zip " "logs out folder"
expect "kvzip check --verbose " "B.ZIP a.zip logs out folder"
expect "kvzip extract a.zip --dest " "logs out folder"
# Every option that `kvzip COMMAND --help` prints is offered after "--".
for command in list extract check analyse repair; do
    offered=$(complete_line "kvzip $command --" | paste -sd' ')
    for option in $("$build/bin/kvzip" "$command" --help | grep -oE '^ +(-[a-zA-Z], )?--[a-z][a-z0-9-]*' |
        sed 's/.*--/--/'); do
        case " $offered " in
        *" $option "*) ;;
        *) echo "FAIL: 'kvzip $command --<Tab>' does not offer $option" >&2
            failures=$((failures + 1)) ;;
        esac
    done
done
if iconv -l 2>/dev/null | grep -q 'CP437'; then
    expect "kvzip list --name-encoding CP43" "CP437"
    expect "kvzip --name-encoding=CP43" "CP437"
fi
# --name-encoding may stand before the command word.
expect "kvzip --name-encoding CP866 re" "repair"
expect "kvzip --name-encoding CP866 extract a.zip " "logs out folder"

# The zsh completion, for the lines that complete to one answer.
if command -v zsh >/dev/null 2>&1; then
    cases=("kvzip re|kvzip repair"
        "kvzip ch|kvzip check"
        "kvzip repair --cu|kvzip repair --current"
        "kvzip repair --overwrite yes-|kvzip repair --overwrite yes-to-all"
        "kvzip repair --dest l|kvzip repair --dest logs"
        "kvzip analyse B|kvzip analyse B.ZIP"
        "kvzip extract a.zip l|kvzip extract a.zip logs"
        "kvzip list --name-encoding CP43|kvzip list --name-encoding CP437"
        "kvzip --name-encoding CP866 re|kvzip --name-encoding CP866 repair")
    touch "$work/Bnotes.txt" "$work/long-notes.txt"
    mkdir "$work/zsh"
    cp "$source/packaging/completion/_kvzip" "$work/zsh/"
    mapfile -t got < <(timeout 120 zsh -f "$(dirname "$0")/zsh_completion.zsh" "$work/zsh" "$build/bin" \
        "$work" "${cases[@]%%|*}" | tr -d '\r')
    for i in "${!cases[@]}"; do
        if [ "${got[i]-}" != "${cases[i]#*|}" ]; then
            echo "FAIL: zsh: '${cases[i]%%|*}<Tab>' gave '${got[i]-}', expected '${cases[i]#*|}'" >&2
            failures=$((failures + 1))
        fi
    done
else
    echo "zsh is missing: its completion is not checked"
fi

[ "$failures" -eq 0 ] || exit 1
echo "completion test: every case passed"
