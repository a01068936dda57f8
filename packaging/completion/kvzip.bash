# bash completion for kvzip, the command line of Kelvane for Zip.
#
# The commands and options are read from kvzip's own --help texts, so that
# a new option completes without a change here: an option printed as
# "--opt DIR" takes a folder, "--opt FILE" a file, and "[--opt a|b|c]" in
# the usage line one of its answers. Operands are ZIP archives, except the
# folder that `extract` writes to.

# Prints "OPTION VALUE" per option of `kvzip COMMAND --help` (VALUE is the
# placeholder, the answers joined by "|", or empty for a switch).
_kvzip_options()
{
    "$1" "$2" --help 2>/dev/null | awk '
        {
            line = $0
            while (match(line, /\[--[a-z0-9-]+ [a-z0-9-]+(\|[a-z0-9-]+)+\]/)) {
                split(substr(line, RSTART + 1, RLENGTH - 2), part, " ")
                choices[part[1]] = part[2]
                line = substr(line, RSTART + RLENGTH)
            }
        }
        /^ +(-[a-zA-Z], )?--[a-z]/ {
            # "  -j, --jobs N": the long option is the one offered.
            sub(/^ +-[a-zA-Z], /, "")
            value = ($2 ~ /^[A-Z]+$/) ? $2 : ""
            order[++count] = $1; values[$1] = value
        }
        END {
            for (i = 1; i <= count; ++i) {
                option = order[i]
                print option, (option in choices) ? choices[option] : values[option]
            }
        }'
}

# The legacy code pages iconv knows (one name a line, or several joined by
# commas when it writes to a terminal).
_kvzip_encodings()
{
    iconv -l 2>/dev/null | tr ',' '\n' | sed 's/^ *//; s|//$||; /^$/d'
}

_kvzip()
{
    local cur prev words cword split
    _init_completion -s || return

    # Every command takes it, also before the command word.
    if [[ $prev == --name-encoding ]]; then
        COMPREPLY=($(compgen -W "$(_kvzip_encodings)" -- "$cur"))
        return
    fi

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --name-encoding) ((i++)) ;;
        -*) ;;
        *)
            command=${words[i]}
            break
            ;;
        esac
    done
    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--help --version --name-encoding' -- "$cur"))
        else
            local commands
            commands=$("$1" --help 2>/dev/null |
                sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p')
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    local -A takes=()
    local option value
    while read -r option value; do
        takes[$option]=$value
    done < <(_kvzip_options "$1" "$command")

    # The value of the option before the cursor (or after its "=").
    if [[ $prev == --* && -n ${takes[$prev]-} ]]; then
        case ${takes[$prev]} in
        *"|"*) COMPREPLY=($(compgen -W "${takes[$prev]//|/ }" -- "$cur")) ;;
        DIR) _filedir -d ;;
        FILE) _filedir ;;
        esac
        return
    fi
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "${!takes[*]}" -- "$cur"))
        return
    fi

    # Which operand the cursor is on: extract's second one is a folder.
    local operands=0
    for ((i = i + 1; i < cword; i++)); do
        if [[ ${words[i]} == --*=* ]]; then
            continue
        elif [[ ${words[i]} == --* ]]; then
            [[ -n ${takes[${words[i]}]-} ]] && ((i++))
        else
            ((operands++))
        fi
    done
    if [[ $command == extract && $operands -ge 1 ]]; then
        _filedir -d
    else
        _filedir zip
    fi
} &&
    complete -F _kvzip kvzip

# ex: filetype=sh
