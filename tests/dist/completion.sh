#!/usr/bin/env bash
# The bash completion of quillmar-cli, sourced into a bash that read no start-up files (no
# bash-completion package) and driven as bash drives it: COMP_WORDS, COMP_CWORD, COMP_LINE and
# COMP_POINT set, the registered function called, COMPREPLY read. The commands, their options
# and the options' values are read from the built program's usage and the check names from its
# JSON report, so that the completion cannot fall behind the program.
#   completion.sh QUILLMAR_CLI COMPLETION_SCRIPT
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

cli=$(realpath "$1")
script=$(realpath "$2")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/files" "$work/fixture"
# The folder completion runs in: a language file with a blank in its name, a folder, and a
# file of another kind.
cd "$work/files"
touch "my file.php" notes.txt
mkdir "lang dir"

# The words offered for a command line whose last word is being completed, one a line, sorted;
# what the function wrote to stderr is in $work/stderr.
complete_words() {
    bash --norc --noprofile -c '
        source "$1" || exit 1
        shift
        registration=$(complete -p quillmar-cli) || exit 1
        function=${registration#*-F }
        function=${function%% *}
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        COMPREPLY=()
        "$function" quillmar-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        if ((${#COMPREPLY[@]} > 0)); then printf "%s\n" "${COMPREPLY[@]}"; fi
        ' _ "$script" quillmar-cli "$@" 2> "$work/stderr" | sort
}

# Whatever the function writes to stderr would garble the user's command line.
quiet() {
    [ ! -s "$work/stderr" ] || fail "quillmar-cli $*<TAB> writes to stderr: $(cat "$work/stderr")"
}

# offers WORD... -- EXPECTED...: completing the last of the words offers exactly EXPECTED (an
# argument may hold several, one a line).
offers() {
    local words=()
    while [ "$1" != -- ]; do
        words+=("$1")
        shift
    done
    shift
    local expected got
    expected=$(printf '%s\n' "$@" | sed '/^$/d' | sort)
    got=$(complete_words "${words[@]}") || fail "quillmar-cli ${words[*]}<TAB> cannot be completed"
    quiet "${words[@]}"
    [ "$got" = "$expected" ] ||
        fail "quillmar-cli ${words[*]}<TAB> offers [${got//$'\n'/, }], not [${expected//$'\n'/, }]"
}

records=$(usage_records "$("$cli" --help)")
commands=$(awk -F '\t' '$1 != "" && $2 == "" { print $1 }' <<< "$records")
[ -n "$commands" ] || fail "no commands read from the usage of quillmar-cli"

# The first word: the commands and the options that stand alone.
offers '' -- "$commands" "$(awk -F '\t' '$1 == "" { print $2 }' <<< "$records")"
offers ch -- check
offers --version '' --

# Each command's options, and the choices of those that list them.
for command in $commands; do
    offers "$command" - -- "$(awk -F '\t' -v c="$command" '$1 == c && $2 != "" { print $2 }' \
        <<< "$records")"
    while IFS=$'\t' read -r option values; do
        offers "$command" a.php "$option" '' -- "${values// /$'\n'}"
    done < <(awk -F '\t' -v c="$command" '$1 == c && $3 != "" { print $2 "\t" $3 }' \
        <<< "$records")
done
offers stats a.php --format j -- json

# --skip: the checks the program has, also after a comma, where only those not named yet are
# offered.
printf "<?php\ndefine('_HELLO', 'Hello %%s!');\n" > "$work/fixture/en.php"
checks=$("$cli" check "$work/fixture/en.php" "$work/fixture/en.php" --format json |
    sed -n '/"checks": {/,/}/s/^ *"\([a-z]*\)": [0-9]*,\{0,1\}$/\1/p')
[ -n "$checks" ] || fail "no check names read from quillmar-cli check --format json"
offers check a.php b.php --skip '' -- "$checks"
offers check a.php b.php --skip placeholders,mar -- placeholders,markup
offers check a.php b.php --skip markup, -- "$(grep -vx markup <<< "$checks" | sed 's/^/markup,/')"

# File names: language files and folders, a blank typed with a backslash or inside quotes;
# another file only when nothing else fits.
offers stats '' -- 'my file.php' 'lang dir'
offers merge a.php -o 'my\ f' -- 'my file.php'
offers list '"my f' -- 'my file.php'
offers check a.php 'no' -- notes.txt
offers find --literal a.php '' -- 'my file.php' 'lang dir'

# --encoding offers no file, and only names the program takes.
while read -r name; do
    case $name in
    'my file.php' | notes.txt | 'lang dir') fail "--encoding offers the file $name" ;;
    esac
    "$cli" find "$work/fixture/en.php" x --encoding "$name" > /dev/null 2>&1 ||
        fail "--encoding offers $name, which quillmar-cli does not take"
done < <(complete_words find a.php --encoding '')
quiet find a.php --encoding ''
finish
