#!/usr/bin/env bash
# completion.sh FILE
# Loads bash-completion and the orvane-names completion FILE, then completes
# command lines as bash does on Tab and checks what is offered.
# Not -e or -u: bash-completion's own functions are not written for them.
set -o pipefail

file=$1
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion || { echo "FAIL: bash-completion is missing" >&2; exit 1; }
# shellcheck source=/dev/null
source "$file" || { echo "FAIL: $file does not load" >&2; exit 1; }
function=$(complete -p orvane-names 2>/dev/null | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
[ -n "$function" ] || { echo "FAIL: $file registers no completion function for orvane-names" >&2; exit 1; }

# offers "LINE" EXPECTED...: completing LINE (the last word is the one being
# typed, "" for a fresh word) offers exactly EXPECTED, in any order.
offers() {
    local line=$1
    shift
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    "$function" orvane-names "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got want
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ')
    want=$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')
    [ "$got" = "$want" ] || fail "\"$line<Tab>\" offers [${got% }], expected [${want% }]"
}

# Commands, and options for the command typed.
offers "orvane-names du" dump
offers "orvane-names d" diff dump
offers "orvane-names " dump set apply info checksum diff patch table
offers "orvane-names --" --help --version
offers "orvane-names dump --" --json --csv --po --bom --only --changed-from --headered --headerless --table
offers "orvane-names apply --only items,m" items,monsters items,magic
offers "orvane-names apply --o" --overwrite --only
offers "orvane-names table --" --table
offers "orvane-names apply --d" --dry-run
offers "orvane-names checksum --f" --fix
offers "orvane-names patch --" --headered --headerless --keep-header --drop-header --force --apply

# Category words after the image of set, options not counted as arguments;
# nothing for the index.
offers "orvane-names set game.smc " characters monsters magic items
offers "orvane-names set --fix-checksum game.smc m" monsters magic
offers "orvane-names set --table team.tbl game.smc m" monsters magic
offers "orvane-names set game.smc items "

# Files by what each argument is: images, patches, any file for a dump.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir folder
touch a.smc B.SFC c.swc names.txt out.bps old.IPS
offers "orvane-names dump " a.smc B.SFC c.swc folder
offers "orvane-names diff a.smc " a.smc B.SFC c.swc out.bps old.IPS folder
offers "orvane-names patch --apply " out.bps old.IPS folder
offers "orvane-names patch --apply out.bps " a.smc B.SFC c.swc folder
offers "orvane-names patch a.smc c.swc " out.bps old.IPS folder
offers "orvane-names apply a.smc n" names.txt
offers "orvane-names apply --only items a.smc n" names.txt
offers "orvane-names dump --changed-from " a.smc B.SFC c.swc folder
offers "orvane-names dump --changed-from a.smc " a.smc B.SFC c.swc folder
offers "orvane-names table "

[ "$failures" -eq 0 ] || exit 1
echo "completion: all lines complete as expected"
