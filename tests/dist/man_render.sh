#!/usr/bin/env bash
# The manual pages format without a warning, as man and groff show them and as Debian's checks
# read them: a NAME line that whatis can parse, and no option written with a plain hyphen, which
# groff may print as a hyphen that cannot be searched for or pasted into a shell.
#   man_render.sh PAGE...
# Exits 77 (skipped) where man or groff is missing, except under CI=true where that fails.
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
need man groff lexgrog

for page in "$@"; do
    name=$(basename "$page")
    [ -s "$page" ] || { fail "$name: missing or empty"; continue; }

    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null) || fail "$name: man failed"
    [ -z "$warnings" ] || fail "$name: man warns:"$'\n'"$warnings"
    warnings=$(groff -man -ww -z "$page" 2>&1) || fail "$name: groff failed"
    [ -z "$warnings" ] || fail "$name: groff warns:"$'\n'"$warnings"

    lexgrog "$page" > /dev/null 2>&1 || fail "$name: whatis cannot parse the NAME section"

    # Words that begin with an unescaped hyphen (-o, --format) outside comments.
    minus=$(grep -nE '(^|[[:space:]("[|])--?[A-Za-z]' "$page" | grep -vE '^[0-9]+:\.\\"' || true)
    [ -z "$minus" ] || fail "$name: options written with a hyphen instead of \\-:"$'\n'"$minus"
done
finish
