#!/usr/bin/env bash
# Times quillmar-cli merge on each shape of generated language file (define, lang, return)
# against the safe floor: reading both files and writing the output's size to a new file that is
# synced and renamed into place, as a safe save must. The two alternate for 7 rounds on files
# already in the page cache; medians are shown. "phrases" is what quillmar-cli stats reads, so a
# shape the reader cannot read shows 0.
# Usage: bench/merge_shapes.sh [BUILD_DIR] [PHRASES]
set -euo pipefail
build=${1:-build}
n=${2:-1000000}
rounds=7
cli=$(realpath "$build/cli/quillmar-cli")
gen=$(realpath "$build/bench/gen_langfile")
floor=$(realpath "$build/bench/safe_floor")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "$n phrases, $rounds rounds, medians"
printf '%-7s %7s %8s %8s %8s %8s %8s %10s %9s\n' shape "MB" "merge s" "CPU s" "peak MB" \
    "floor s" "m/floor" "peak/files" phrases
for shape in define lang return; do
    t=$work/template.php r=$work/translation.php
    "$gen" --shape "$shape" "$n" "$t" "$r"
    files=$(( $(stat -c %s "$t") + $(stat -c %s "$r") ))
    cat "$t" "$r" > /dev/null # warm the page cache
    phrases=$("$cli" stats "$t" "$r" --format json 2> /dev/null |
        sed -n 's/.*"phrases": *\([0-9]*\).*/\1/p')
    # One merge first: its output's size is what the floor writes, and a failed merge is shown.
    status=0
    "$cli" merge "$t" "$r" -o "$work/out.php" > /dev/null 2> "$work/err" || status=$?
    [ "$status" -eq 0 ] || { echo "$shape: merge exited $status:" >&2; head -3 "$work/err" >&2; }
    out=$(stat -c %s "$work/out.php" 2> /dev/null || echo 0)
    : > "$work/merge" && : > "$work/cpu" && : > "$work/rss" && : > "$work/floor"
    for _ in $(seq "$rounds"); do
        /usr/bin/time -f "%e %U %S %M" -o "$work/time" \
            "$cli" merge "$t" "$r" -o "$work/out.php" > /dev/null 2>&1 || true
        read -r secs user sys kb < "$work/time"
        echo "$secs" >> "$work/merge"
        echo "$user $sys" | awk '{ print $1 + $2 }' >> "$work/cpu"
        echo "$kb" >> "$work/rss"
        /usr/bin/time -f "%e" -o "$work/time" "$floor" "$t" "$r" "$work/floor.php" "$out"
        cat "$work/time" >> "$work/floor"
    done
    m=$(median < "$work/merge") c=$(median < "$work/cpu") f=$(median < "$work/floor")
    kb=$(sort -g "$work/rss" | tail -1)
    awk -v s="$shape" -v files="$files" -v m="$m" -v c="$c" -v kb="$kb" -v f="$f" -v p="${phrases:-0}" \
        'BEGIN { printf "%-7s %7.1f %8.2f %8.2f %8.0f %8.2f %8.1f %10.2f %9d\n", s, files / 1048576,
                 m, c, kb / 1024, f, (f > 0 ? m / f : 0), kb * 1024 / files, p }'
    rm -f "$work/out.php" "$work/floor.php"
done
