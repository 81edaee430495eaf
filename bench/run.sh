#!/usr/bin/env bash
# Times quillmar-cli on a generated 1,000,000-phrase template and translation.
# Usage: bench/run.sh [BUILD_DIR] [PHRASES]
set -euo pipefail
build=${1:-build}
n=${2:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/gen_langfile" "$n" "$work/template.php" "$work/translation.php"
size=$(( $(stat -c %s "$work/template.php") + $(stat -c %s "$work/translation.php") ))
echo "files: $n phrases, $(( size / 1024 / 1024 )) MB together"
# Warm the page cache so every run reads from memory.
cat "$work/template.php" "$work/translation.php" > /dev/null

timed() { # label, command...
    local label=$1; shift
    local best=999999 peak=0
    for _ in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null
        read -r secs kb < "$work/time"
        best=$(echo "$secs $best" | awk '{print ($1 < $2) ? $1 : $2}')
        peak=$kb
    done
    printf '%-34s %6.2f s  peak %5d MB\n' "$label" "$best" "$(( peak / 1024 ))"
}

timed "wc -l (floor)" wc -l "$work/template.php" "$work/translation.php"
timed "quillmar-cli merge" "$build/cli/quillmar-cli" merge "$work/template.php" "$work/translation.php" -o "$work/out.php"
timed "quillmar-cli stats" "$build/cli/quillmar-cli" stats "$work/template.php" "$work/translation.php"
# check: once on the clean translation, once with a placeholder added to every translated phrase
# (status 1, problems found); the summaries on stderr are dropped.
sed 's/Traduit: /Traduit: %s /' "$work/translation.php" > "$work/problems.php"
checked() { "$build/cli/quillmar-cli" check "$work/template.php" "$1" > /dev/null 2>&1 || [ $? -eq 1 ]; }
export -f checked; export build work
timed "quillmar-cli check" bash -c 'checked "$work/translation.php"'
timed "quillmar-cli check (600k problems)" bash -c 'checked "$work/problems.php"'
echo "peak memory limit for merge: $(( size * 25 / 10 / 1024 / 1024 )) MB (2.5 x the two files)"
if [ -x "$build/bench/bench_search" ]; then
    "$build/bench/bench_search" "$work/template.php" "$work/translation.php"
fi
if [ -x "$build/app/quillmar" ] && [ -x "$build/bench/bench_gui" ]; then
    XDG_CONFIG_HOME="$work" QT_QPA_PLATFORM=offscreen "$build/bench/bench_gui" "$work/template.php" "$work/translation.php"
fi
