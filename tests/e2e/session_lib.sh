# What every session test of the built program shares: a virtual X server with a real window
# manager, a work folder that holds the program's settings, caches and files, and helpers that find
# the program's windows, wait for them, type into its choosers and take screenshots. Sourced by a
# session script after it has set program to the built program.
# Exits 77 (skipped) where no X server can start, except under CI=true where that fails.
# QUILLMAR_E2E_KEEP=1 keeps the work folder (files, logs, screenshots) after a passing run.
# Without an X server there is nothing to look at afterwards: the work folder goes.
outcome=failed
cannot_run() {
    outcome=unrun
    if [ "${CI:-}" = true ]; then
        echo "FAIL: $1 (an X server is required when CI=true)"
        exit 1
    fi
    echo "SKIP: $1"
    exit 77
}

for tool in Xvfb xauth openbox xdotool xclip import xwininfo xprop convert; do
    command -v "$tool" > /dev/null ||
        cannot_run "no X server session: $tool is missing (bash tools/dev.sh test installs it)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quillmar-e2e.XXXXXX")
shots=$work/screenshots
mkdir -p "$shots" "$work/home" "$work/config" "$work/cache" "$work/data" "$work/runtime" "$work/files"
chmod 700 "$work/runtime"
started=$SECONDS
pids=()
step="starting"

cleanup() {
    # Only what this script started, newest first: the program, the window manager, the server.
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2> /dev/null
    done
    wait 2> /dev/null
    if [ "$outcome" = unrun ] || { [ "$outcome" = passed ] && [ "${QUILLMAR_E2E_KEEP:-}" != 1 ]; }; then
        rm -rf "$work"
    else
        echo "work folder (files, logs, screenshots): $work"
    fi
}
trap cleanup EXIT

fail() {
    echo "FAIL at step \"$step\": $*"
    echo "pop-up menus open (x y width height): $(popups | tr '\n' ';')"
    shot "failure"
    echo "screenshots: $shots"
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; }
    done
    exit 1
}

shot_count=0
shot() { # name: the whole screen as a PNG, numbered in the order taken
    shot_count=$((shot_count + 1))
    import -window root "$(printf '%s/%02d-%s.png' "$shots" "$shot_count" "$1")" 2> /dev/null || true
}

# Polls a command until it succeeds, every 50 ms, for at most the given seconds.
wait_for() { # seconds, what (for the failure), command...
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ $SECONDS -ge $deadline ] && fail "timed out after ${seconds}s waiting for $what"
        sleep 0.05
    done
}

# ------------------------------------------------------------------ the X server and the window manager

# Xvfb picks a free display itself (-displayfd), so parallel runs never share one; the clients
# get in with a cookie of this run only.
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
export XAUTHORITY=$work/xauthority
xauth -q -f "$XAUTHORITY" add :0 . "$cookie" 2> /dev/null
exec {display_fd}> "$work/display"
Xvfb -displayfd "$display_fd" -auth "$XAUTHORITY" -screen 0 1024x768x24 -dpi 96 -nolisten tcp \
    -noreset > "$work/xvfb.log" 2>&1 &
pids+=($!)
exec {display_fd}>&-
deadline=$((SECONDS + 10))
until [ -s "$work/display" ]; do
    kill -0 "${pids[0]}" 2> /dev/null || cannot_run "Xvfb did not start ($(tail -n 1 "$work/xvfb.log"))"
    [ $SECONDS -ge $deadline ] && cannot_run "Xvfb did not report a display within 10s"
    sleep 0.05
done
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie"

# The program reads and writes its settings, caches and files only inside the work folder.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
export LANG=C.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion
unset QT_QPA_PLATFORMTHEME QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER

openbox --sm-disable > "$work/openbox.log" 2>&1 &
pids+=($!)
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id'; }
wait_for 10 "openbox to manage the screen" wm_running

# ------------------------------------------------------------------ helpers on the program's windows

main_title="Vorlane translator"
program_pid=""

# Starts the program and finds its main window, which a box opened at start may cover.
launch_program() { # log name, then the program's arguments
    "$program" "${@:2}" > "$work/$1.log" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    win=""
    local deadline=$((SECONDS + 15))
    while [ -z "$win" ]; do
        kill -0 "$program_pid" 2> /dev/null || fail "the program ended at start"
        [ $SECONDS -ge $deadline ] && fail "no window titled \"$main_title\""
        win=$(xdotool search --onlyvisible --name "^$main_title\$" 2> /dev/null | head -n 1)
        sleep 0.05
    done
}
start_program() { # log name, then the program's arguments
    launch_program "$@"
    wait_active "$win" "the main window"
}

is_active() { [ "$(xdotool getactivewindow 2> /dev/null)" = "$1" ]; }
wait_active() { # window, what
    wait_for 10 "$2 to have the keyboard" is_active "$1"
}

# A visible window of the program with the given title: the choosers.
window_named() { xdotool search --onlyvisible --name "^$1\$" 2> /dev/null | head -n 1; }
has_window() { [ -n "$(window_named "$1")" ]; }
no_window() { [ -z "$(window_named "$1")" ]; }

# Open pop-up menus of the program, as "x y width height" lines: its shown windows that the window
# manager does not frame (Qt marks a menu shown again as a normal window, so its type tells not).
# The mouse is kept off the tool bar, where a tool tip would count too.
popups() {
    local w
    for w in $(xdotool search --onlyvisible --classname quillmar 2> /dev/null); do
        xwininfo -all -id "$w" 2> /dev/null | awk '/Absolute upper-left X/{x=$NF}
            /Absolute upper-left Y/{y=$NF} /Width:/{w=$NF} /Height:/{h=$NF}
            /Override Redirect State: yes/{o=1} END{if (o) print x, y, w, h}'
    done
}
popup_count() { popups | grep -c . ; }
popups_are() { [ "$(popup_count)" -eq "$1" ]; }

# Where the main window's client area is and how large, and the frame around it.
client_geometry() {
    xwininfo -id "$win" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}
frame_extents() { # left right top bottom
    xprop -id "$win" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g'
}

clipboard() { xclip -o -selection clipboard 2> /dev/null; }
clipboard_is() { [ "$(clipboard; echo .)" = "$1." ]; }
# Copies the selected cells and waits for the clipboard to hold the text.
expect_copy() { # text, what
    xdotool key ctrl+c
    local deadline=$((SECONDS + 5))
    until clipboard_is "$1"; do
        if [ $SECONDS -ge $deadline ]; then
            fail "$2: the clipboard holds $(clipboard | od -c | head -n 5) instead of $(printf '%s' "$1" | od -c | head -n 5)"
        fi
        sleep 0.05
    done
}

# Types a path into the chooser with the given title and accepts it.
choose_file() { # title, path
    wait_for 10 "the chooser \"$1\"" has_window "$1"
    local chooser
    chooser=$(window_named "$1")
    wait_active "$chooser" "the chooser \"$1\""
    xdotool key ctrl+a
    xdotool type --delay 2 "$2"
    xdotool key Return
    wait_for 10 "the chooser \"$1\" to close" no_window "$1"
}

# The current cell of the grid: the one rectangle in the selection colour, in screen pixels.
current_cell() {
    local x y w h shot_file=$work/cell.png
    read -r x y w h < <(client_geometry)
    import -window root "$shot_file" 2> /dev/null
    convert "$shot_file" -crop "${w}x${h}+${x}+${y}" +repage -fuzz 6% -fill black +opaque '#308cc6' \
        -fill white -opaque '#308cc6' -define connected-components:verbose=true \
        -define connected-components:area-threshold=600 -connected-components 4 null: |
        awk -v ox="$x" -v oy="$y" '/255,255,255|gray\(255\)/ {
            split($2, g, /[x+]/); print ox + g[3], oy + g[4], g[1], g[2]; exit }'
}

program_ended() { ! kill -0 "$program_pid" 2> /dev/null; }

