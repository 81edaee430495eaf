#!/usr/bin/env bash
# The window where a translator's files are at stake, under a virtual X server and a real window
# manager, driven with the keyboard: a translation that could not be read is not replaced without
# a question, nor one its owner made read-only; Save as asks in its chooser before it replaces a
# file, and after No the next Save goes where it went before; a save stopped by the file-size
# limit leaves the file as it was, no temporary beside it, and the window alive with its edits; a
# save cut short by a crash is offered back at the next start.
#   data_safety.sh PROGRAM CLI
set -uo pipefail

program=$(realpath "$1")
cli=$(realpath "$2")

# The X server, the window manager, the work folder and the helpers on the program's windows.
source "$(dirname "${BASH_SOURCE[0]}")/session_lib.sh"

box_title="Vorlane translation assistant"
files=$work/files
template=$files/lang-english.php
translation=$files/lang-french.php

# The boxes that ask or tell, by their title: waits for one and looks at it.
expect_box() { # what
    wait_for 10 "$1" has_window "$box_title"
    wait_active "$(window_named "$box_title")" "$1"
    shot "$1"
}
no_box() { no_window "$box_title"; }
answer_box() { # keys, what
    xdotool key "$1"
    wait_for 10 "the box \"$2\" to close" no_box
}

same_bytes() { cmp -s "$1" "$2"; }
# Leftovers of a save beside a file: temporaries are hidden names that begin with the file's.
no_temporaries() { [ -z "$(find "$files" -name '.lang-*' -print -quit)" ]; }

# Ends the program without saving: Alt+F4, then No to saving the changes.
quit_unsaved() {
    wait_active "$win" "the main window before quitting"
    xdotool key alt+F4
    wait_for 10 "the question about unsaved changes" has_window "Confirm"
    xdotool key alt+n
    wait_for 10 "the program to end" program_ended
    wait "$program_pid" 2> /dev/null
}

# A template of some size: its translation is larger than the file-size limit used below.
{
    echo "<?php"
    for i in $(seq 1 1500); do
        echo "define('_PHRASE$i', 'English text number $i of the shop');"
    done
} > "$template"
french() {
    {
        echo "<?php"
        echo "define('_PHRASE1', 'Texte anglais numéro 1 de la boutique');"
        echo "define('_PHRASE2', 'Texte anglais numéro 2 de la boutique');"
    } > "$translation"
}

# ------------------------------------------------------------------ a translation not read

step="a translation in UTF-16 is refused when opened"
french
iconv -f UTF-8 -t UTF-16 "$translation" > "$files/wide.php" && mv "$files/wide.php" "$translation"
cp "$translation" "$work/before.php"
launch_program unread "$template" "$translation"
expect_box "refused translation"
answer_box Return "refused translation"
wait_active "$win" "the main window"
xdotool type --delay 5 "Bonjour"
xdotool key Return
step="Save asks before the unread file is replaced, No keeps it"
xdotool key ctrl+s
expect_box "question before replacing the unread translation"
answer_box Escape "question before replacing the unread translation"
same_bytes "$translation" "$work/before.php" || fail "the unread translation was replaced"
quit_unsaved

# ------------------------------------------------------------------ read-only

step="a translation made read-only by its owner"
french
chmod 444 "$translation"
cp "$translation" "$work/before.php"
start_program readonly "$template" "$translation"
xdotool type --delay 5 "Bonjour"
xdotool key Return
xdotool key ctrl+s
expect_box "question before replacing a read-only file"
answer_box Escape "question before replacing a read-only file"
same_bytes "$translation" "$work/before.php" || fail "the read-only translation was replaced"
quit_unsaved
chmod 644 "$translation"

# ------------------------------------------------------------------ Save as over another file

step="Save as onto an existing file asks in the chooser"
french
echo "<?php // another translator's file" > "$files/lang-other.php"
cp "$files/lang-other.php" "$work/other.php"
start_program saveas "$template" "$translation"
xdotool type --delay 5 "Bonjour"
xdotool key Return
xdotool key alt+f
wait_for 5 "the File menu to open" popups_are 1
xdotool key a
save_title="Save translation to language file"
wait_for 10 "the save chooser" has_window "$save_title"
wait_active "$(window_named "$save_title")" "the save chooser"
xdotool key ctrl+a
xdotool type --delay 2 "$files/lang-other.php"
xdotool key Return
# The question opens over the chooser, with the chooser's title.
two_save_windows() { [ "$(xdotool search --onlyvisible --name "^$save_title\$" | wc -l)" -ge 2 ]; }
wait_for 10 "the chooser's question before replacing lang-other.php" two_save_windows
shot "chooser asks before replacing"
xdotool key Escape # No: back in the chooser
one_save_window() { [ "$(xdotool search --onlyvisible --name "^$save_title\$" | wc -l)" -eq 1 ]; }
wait_for 10 "the question to close" one_save_window
xdotool key Escape # and the chooser is cancelled
wait_for 10 "the save chooser to close" no_window "$save_title"
same_bytes "$files/lang-other.php" "$work/other.php" || fail "Save as replaced a file after No"
step="after No the next Save goes where the translation came from"
wait_active "$win" "the main window"
xdotool key ctrl+s
wait_for 10 "the save" grep -q "Bonjour" "$translation"
same_bytes "$files/lang-other.php" "$work/other.php" || fail "Save wrote the file refused before"
xdotool key alt+F4
wait_for 10 "the program to end" program_ended
wait "$program_pid" 2> /dev/null

# ------------------------------------------------------------------ a file-size limit

step="a save beyond the file-size limit"
french
cp "$translation" "$work/before.php"
ln "$translation" "$files/second-name.php" # written in place, behind a safety copy
(
    ulimit -f 32 # KiB: the translation of 1500 phrases is larger
    exec "$program" "$template" "$translation"
) > "$work/limit.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
wait_for 15 "the main window under the limit" has_window "$main_title"
win=$(window_named "$main_title")
wait_active "$win" "the main window under the limit"
xdotool type --delay 5 "Bonjour"
xdotool key Return
xdotool key ctrl+s
expect_box "the error of the save beyond the limit"
kill -0 "$program_pid" 2> /dev/null || fail "the program was ended by the file-size limit"
answer_box Return "the error of the save beyond the limit"
same_bytes "$translation" "$work/before.php" || fail "the translation changed in a failed save"
no_temporaries || fail "a temporary file was left: $(ls -a "$files")"
[ -z "$(ls -A "$XDG_CACHE_HOME"/*/*/safety-copies 2> /dev/null)" ] ||
    fail "a safety copy was left: $(ls -A "$XDG_CACHE_HOME"/*/*/safety-copies)"
step="the edit is still there after the failed save"
wait_active "$win" "the main window"
xdotool key Up
expect_copy "Bonjour" "the translation typed before the failed save"
quit_unsaved
rm -f "$files/second-name.php"

# ------------------------------------------------------------------ a crash while saving in place

step="a save in place killed half-way"
awk 'BEGIN { print "<?php"; for (i = 1; i <= 1000000; i++)
    printf "define(\"_PHRASE%d\", \"English text number %d of the shop, long enough to take a while\");\n", i, i }' \
    > "$files/big-english.php"
sed 's/English text/Texte anglais/' "$files/big-english.php" > "$files/big-french.php"
cp "$files/big-french.php" "$work/big-before.php"
ln "$files/big-french.php" "$files/big-link.php"
"$cli" merge "$files/big-english.php" "$files/big-french.php" -o "$files/big-french.php" \
    > "$work/merge.log" 2>&1 &
merge_pid=$!
# Killed as soon as its first bytes are written over the old ones, long before the last.
deadline=$((SECONDS + 30))
until ! cmp -s -n 4096 "$files/big-french.php" "$work/big-before.php"; do
    [ $SECONDS -ge $deadline ] && fail "the merge did not begin writing within 30s"
    kill -0 "$merge_pid" 2> /dev/null || fail "the merge ended before it was killed"
done
kill -9 "$merge_pid"
wait "$merge_pid" 2> /dev/null
cmp -s "$files/big-french.php" "$work/big-before.php" && fail "the kill came too late to tear the file"
step="the next start offers the old contents back"
launch_program crashed
expect_box "the offer to put back the file cut short"
answer_box alt+y "the offer to put back the file cut short"
wait_for 10 "the old contents back" same_bytes "$files/big-french.php" "$work/big-before.php"
no_safety_copy() { [ -z "$(ls -A "$XDG_CACHE_HOME"/*/*/safety-copies 2> /dev/null)" ]; }
wait_for 10 "the safety copy to go once it was put back" no_safety_copy
shot "put back"
xdotool key alt+F4
wait_for 10 "the program to end" program_ended
wait "$program_pid" 2> /dev/null

outcome=passed
echo "PASS in $((SECONDS - started))s"
