#!/usr/bin/env bash
# Starts Quillmar under a virtual X server, opens a template and a translation through the real
# File > Open command and its file choosers (typed with xdotool, as a user would), and writes a
# PNG of the screen.
#   tools/screenshot.sh TEMPLATE [TRANSLATION] OUTPUT.png [BUILD_DIR]
set -euo pipefail
if [ $# -lt 2 ]; then
    echo "usage: tools/screenshot.sh TEMPLATE [TRANSLATION] OUTPUT.png [BUILD_DIR]" >&2
    exit 2
fi
template=$(realpath "$1"); shift
translation=""
if [ $# -ge 2 ] && [[ "$2" == *.png ]]; then translation=$(realpath "$1"); shift; fi
out=$1; build=${2:-build}
for tool in xvfb-run xdotool import; do
    command -v "$tool" > /dev/null || { echo "missing $tool: apt-get install xvfb xauth xdotool imagemagick" >&2; exit 1; }
done
program=$(realpath "$build/app/quillmar")
out=$(realpath -m "$out")

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat > "$inner" <<INNER
set -eu
export XDG_CONFIG_HOME=\$(mktemp -d)   # a first run: no stored settings
"$program" &
pid=\$!
win=""
for _ in \$(seq 1 50); do
    win=\$(xdotool search --name "Vorlane translator" 2>/dev/null | head -n1 || true)
    [ -n "\$win" ] && break
    sleep 0.2
done
[ -n "\$win" ] || { echo "the main window did not appear" >&2; kill \$pid; exit 1; }
xdotool windowmove "\$win" 0 0 windowsize "\$win" 1000 640
xdotool windowfocus --sync "\$win" 2>/dev/null || true
sleep 0.5
choose() { # types a path into the file chooser that has the given title
    local d=""
    for _ in \$(seq 1 50); do
        d=\$(xdotool search --name "\$1" 2>/dev/null | head -n1 || true)
        [ -n "\$d" ] && break
        sleep 0.2
    done
    [ -n "\$d" ] || { echo "no chooser titled \$1" >&2; return 1; }
    xdotool windowfocus --sync "\$d" 2>/dev/null || true
    sleep 0.3
    xdotool key ctrl+a
    xdotool type --delay 5 "\$2"
    xdotool key Return
    sleep 0.5
}
xdotool key ctrl+o
choose "Select language files template" "$template"
if [ -n "$translation" ]; then
    choose "Select translation file" "$translation"
else
    xdotool key Escape
fi
sleep 0.5
xdotool windowfocus --sync "\$win" 2>/dev/null || true
xdotool key ctrl+m
sleep 0.5
import -window root "$out"
kill \$pid 2>/dev/null || true
INNER
xvfb-run -a -s "-screen 0 1024x680x24 -dpi 96" bash "$inner"
echo "wrote $out"
