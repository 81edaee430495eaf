#!/usr/bin/env bash
# The manual page documents what the built program offers, so that an option or command added
# later without its documentation fails here: every option its --help names is an entry of the
# page; for quillmar-cli also every command of its usage and every check --skip can turn off.
# The page's title line carries the program's version.
#   man_options.sh PROGRAM PAGE
# Exits 77 (skipped) where groff is missing, except under CI=true where that fails.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
need groff

program=$1
page=$2
name=$(basename "$program")
export QT_QPA_PLATFORM=offscreen # quillmar prints its help without a window; no display needed

help=$("$program" --help)
help=${help//"$program"/"$name"} # the usage line names the program by its path
text=$(plain_page "$page")
entries=$(sections "$text" "COMMANDS OPTIONS")

options=$(options_in "$help")
grep -qx -- --help <<< "$options" || fail "no options read from $name --help:"$'\n'"$help"
for option in $options; do
    is_entry "$entries" "$option" || fail "$option, named by $name --help, is no entry of $page"
done

version=$("$program" --version 2> /dev/null | awk '{ print $NF }')
title_version=$(sed -n 's/^\.TH .*"Quillmar \([^"]*\)".*/\1/p' "$page")
[ "$title_version" = "$version" ] ||
    fail "$page has version '$title_version' in its title, $name --version says '$version'"

if [ "$name" = quillmar-cli ]; then
    synopsis=$(sections "$text" SYNOPSIS)
    commands=$(usage_records "$help" | awk -F '\t' '$1 != "" && $2 == "" { print $1 }')
    [ -n "$commands" ] || fail "no commands read from the usage of $name"
    for command in $commands; do
        grep -qE "^ *quillmar-cli $command( |\$)" <<< "$synopsis" ||
            fail "the synopsis of $page lacks the command $command"
        is_entry "$entries" "$command" || fail "the command $command is no entry of $page"
    done

    # The checks, as the JSON report counts them: one entry each in the page.
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    printf "<?php\ndefine('_HELLO', 'Hello %%s!');\n" > "$work/en.php"
    checks=$("$program" check "$work/en.php" "$work/en.php" --format json |
        sed -n '/"checks": {/,/}/s/^ *"\([a-z]*\)": [0-9]*,\{0,1\}$/\1/p')
    [ -n "$checks" ] || fail "no check names read from $name check --format json"
    for check in $checks; do
        is_entry "$entries" "$check" || fail "the check $check is no entry of $page"
    done
fi
finish
