#!/usr/bin/env bash
# One translator's session with the built program, under a virtual X server and a real window
# manager, driven with the keyboard and the mouse the way a person drives it: open a template and
# a partial translation through the file choosers, type translations, take one back with Esc,
# use the menus, filter the phrases that need work, copy cells, save and quit; then start again
# and check that the window comes back where it was and that File > Recent files reopens the pair.
#   translate_session.sh PROGRAM EXPECTED_TRANSLATION
set -uo pipefail

program=$(realpath "$1")
expected=$(realpath "$2")

# The X server, the window manager, the work folder and the helpers on the program's windows.
source "$(dirname "${BASH_SOURCE[0]}")/session_lib.sh"

# ------------------------------------------------------------------ the files

# An English template in the shapes real ones have: both quotes, an escaped quote, a comment,
# TABs in a line's layout and in a text, a key defined twice (the first counts).
template=$work/files/lang-english.php
translation=$work/files/lang-french.php
cat > "$template" << 'PHP'
<?php
// Shop front messages; keep the keys as they are
define('_WELCOME', 'Welcome to our shop');
define("_CART", "Your cart");
define('_QUOTE', 'Say "hi" and don\'t go');
define("_TOTAL",	"Total:\t%s");
define("_LOGIN", "Log in");
define('_LOGOUT', 'Log	out');
define("_CART", "Repeated cart");
define('_HELP', "Need help?");
?>
PHP
# A partial translation in UTF-8: some phrases translated, two still in English, two missing.
cat > "$translation" << 'PHP'
<?php
// Messages de la boutique
define('_WELCOME', 'Welcome to our shop');
define("_CART", "Votre panier");
define('_QUOTE', 'Dites "salut" et n\'oubliez pas');
define("_LOGIN", "Log in");
define('_HELP', "Besoin d'aide ? Écrivez-nous");
?>
PHP
# ------------------------------------------------------------------ first session

step="start the program"
start_program first-run
# A place and size of the translator's own, so that the next start has something to restore.
xdotool windowsize "$win" 640 440 windowmove "$win" 96 64
geometry_moved() { read -r _ _ w h < <(client_geometry) && [ "$w" = 640 ] && [ "$h" = 440 ]; }
wait_for 5 "the window to take its new size" geometry_moved
shot "started"

step="File > Open: template, then translation"
xdotool key ctrl+o
choose_file "Select language files template" "$template"
choose_file "Select translation file" "$translation"
wait_active "$win" "the main window after Open"
shot "opened"
expect_copy "Welcome to our shop" "the first phrase's translation is the current cell"

step="type a translation"
xdotool type --delay 5 "Bienvenue dans notre boutique"
xdotool key Return
expect_copy "Bienvenue dans notre boutique" "the typed translation"

step="Esc puts back the text of the cell"
xdotool key Down
xdotool type --delay 5 "Mon panier"
shot "editing"
xdotool key Escape
expect_copy "Votre panier" "the cell after Esc"

step="File menu, opened and closed with the mouse"
read -r cx cy _ _ < <(client_geometry)
xdotool mousemove $((cx + 16)) $((cy + 9)) click 1
wait_for 5 "the File menu to open" popups_are 1
shot "file-menu"
xdotool click 1
wait_for 5 "the File menu to close" popups_are 0
wait_active "$win" "the main window after the File menu"

step="View > Needs work, by Alt+V and the entry's letter"
xdotool key alt+v
wait_for 5 "the View menu to open" popups_are 1
xdotool key n
wait_for 5 "the View menu to close" popups_are 0
xdotool mousemove 1000 740 # out of the window: no hover effects or tool tips in the pictures
# The current phrase was translated, so the nearest one that needs work follows it.
expect_copy 'Total:\t%s' "the current cell under Needs work"
shot "needs-work"

step="translate a phrase that needs work"
xdotool type --delay 5 'Total :\t%s'
xdotool key Return
# Translated, the phrase goes with its editor and the next one that needs work takes its place.
expect_copy "Log in" "the next phrase that needs work"

step="back to all phrases"
xdotool key ctrl+1
expect_copy "Log in" "the current cell under All phrases"

step="Undo takes a typed translation back, Redo brings it again"
xdotool type --delay 5 "Connexion"
xdotool key Return
expect_copy "Connexion" "the typed translation before Undo"
xdotool key ctrl+z
expect_copy "Log in" "the translation after Undo"
xdotool key ctrl+shift+z
expect_copy "Connexion" "the translation after Redo"
step="Edit > Undo from the menu"
# Edit has no letter of its own: File's menu, then the arrow to the next one.
xdotool key alt+f
wait_for 5 "the File menu to open" popups_are 1
xdotool key Right u
wait_for 5 "the Edit menu to close" popups_are 0
expect_copy "Log in" "the translation after Edit > Undo"

step="select cells with the mouse and copy them"
# Log in is the fifth phrase of all; the row above it gives the rows' pitch.
read -r lx ly lw lh < <(current_cell)
[ -n "${lh:-}" ] || fail "the current cell is not to be seen"
xdotool key Up
expect_copy 'Total :\t%s' "the phrase above"
read -r _ uy _ _ < <(current_cell)
pitch=$((ly - uy))
[ "$pitch" -gt 5 ] || fail "rows $uy and $ly do not give a row height"
# From the original of Say "hi" (third phrase) to the translation of Total (fourth).
xdotool mousemove $((lx - lw / 2)) $((uy - pitch + pitch / 2)) click 1
xdotool keydown shift mousemove $((lx + lw / 2)) $((uy + pitch / 2)) click 1 keyup shift
xdotool mousemove 1000 740
expect_copy $'Say "hi" and don\'t go\tDites "salut" et n\'oubliez pas\r\nTotal:\\t%s\tTotal :\\t%s' \
    "the copied rectangle"
shot "selected"

step="save with Ctrl+S"
before=$(md5sum < "$translation")
xdotool key ctrl+s
saved() { [ "$(md5sum < "$translation")" != "$before" ]; }
wait_for 10 "the translation file to be written" saved
shot "saved"

step="quit with Alt+F4"
read -r gx gy gw gh < <(client_geometry)
read -r fl fr ft fb < <(frame_extents)
xdotool key alt+F4
wait_for 10 "the program to end" program_ended
wait "$program_pid"
status=$?
[ $status -eq 0 ] || fail "the program ended with status $status"

step="the saved file"
if ! cmp -s "$translation" "$expected"; then
    diff <(od -c "$expected") <(od -c "$translation") | head -n 20
    fail "the saved translation differs from $expected"
fi
if command -v php > /dev/null; then
    php -l "$translation" > "$work/php-lint.log" 2>&1 || fail "php -l refuses the saved translation"
fi

step="the stored window bounds"
settings=$XDG_CONFIG_HOME/Pellovant/Quillmar.reg
[ -f "$settings" ] || fail "no settings in $settings"
stored_bounds() { # Left Top Width Height, as numbers
    local name
    for name in Left Top Width Height; do
        sed -n "s/^\"$name\"=dword:\([0-9a-fA-F]*\).*/\1/p" "$settings" | head -n 1 |
            while read -r hex; do printf '%d ' "0x$hex"; done
    done
}
first_bounds=$(stored_bounds)
outer="$((gx - fl)) $((gy - ft)) $((gw + fl + fr)) $((gh + ft + fb)) "
[ "$first_bounds" = "$outer" ] ||
    fail "stored bounds (left top width height) $first_bounds differ from the framed window's $outer"

# ------------------------------------------------------------------ second session

step="start again: the window where it was"
start_program second-run
same_place() { [ "$(client_geometry)" = "$gx $gy $gw $gh" ]; }
deadline=$((SECONDS + 5))
until same_place; do
    [ $SECONDS -ge $deadline ] &&
        fail "the window came back at $(client_geometry) (x y width height), not at $gx $gy $gw $gh"
    sleep 0.05
done
shot "restarted"

step="File > Recent files reopens the pair"
xdotool key alt+f
wait_for 5 "the File menu to open" popups_are 1
xdotool key f
wait_for 5 "the recent files to open" popups_are 2
shot "recent-files"
xdotool key 1
wait_for 5 "the menus to close" popups_are 0
expect_copy "Bienvenue dans notre boutique" "the saved translation, reopened"
xdotool key shift+Left
expect_copy $'Welcome to our shop\tBienvenue dans notre boutique' "the template, reopened"
shot "reopened"
same_place || fail "the window moved to $(client_geometry) after reopening the files"

step="File > Exit"
xdotool key alt+f
wait_for 5 "the File menu to open" popups_are 1
xdotool key x
wait_for 10 "the program to end" program_ended
wait "$program_pid"
status=$?
[ $status -eq 0 ] || fail "the program ended with status $status"
[ "$(stored_bounds)" = "$first_bounds" ] ||
    fail "the stored bounds changed from $first_bounds to $(stored_bounds) in an unmoved window"

outcome=passed
echo "PASS in $((SECONDS - started))s"
