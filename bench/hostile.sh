#!/usr/bin/env bash
# Feeds quillmar-cli files no translator should have but some will: huge lines, millions of
# lines, random bytes, quote-and-backslash soup, and a mask with many star groups. Prints the
# time and the peak memory of each next to the input size, to show nothing grows faster than it.
# Usage: bench/hostile.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
cli=$(realpath "$build/cli/quillmar-cli")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - <<'PY'
import os, random
random.seed(7)
with open("noline.php", "wb") as f:                      # 100 MB without a line break
    f.write(b'define("_A","' + b"x" * (100 * 1024 * 1024) + b'");')
with open("manylines.php", "wb") as f:                   # 10,000,000 short lines
    chunk = b"".join(b'define("_%d","v");\n' % i for i in range(100000))
    for block in range(100):
        f.write(chunk.replace(b'("_', b'("_%d_' % block))
with open("random.php", "wb") as f:                      # 50 MB of random bytes
    f.write(os.urandom(50 * 1024 * 1024).replace(b"\0", b"\1"))  # a NUL would end the text early
with open("quotes.php", "wb") as f:                      # 20 MB of quotes and backslashes
    alphabet = b'"\\'
    lines = []
    for i in range(200000):
        body = bytes(random.choice(alphabet) for _ in range(100))
        lines.append(b'define("' + body + b'");' if i % 2 else b"case " + body)
    f.write(b"\n".join(lines))
with open("bigtext.php", "wb") as f:                     # one phrase of 1 MB for the mask
    f.write(b'define("_BIG","' + b"a" * (1024 * 1024) + b'");\n')
PY

run() { # label, input bytes, command...
    local label=$1 size=$2; shift 2
    /usr/bin/time -f "%e %M" -o time.txt "$@" > /dev/null 2> err.txt || true
    read -r secs kb < time.txt
    printf '%-38s %8d MB in %6.2f s, peak %6d MB (%.1f x input)\n' "$label" $((size / 1048576)) "$secs" $((kb / 1024)) \
        "$(echo "$kb $size" | awk '{ printf "%.1f", $1 * 1024 / ($2 ? $2 : 1) }')"
}
size() { stat -c %s "$1"; }

# Sizes count every file the command reads: a file given as template and translation counts twice.
run "100 MB line, stats (x2)" $(( 2 * $(size noline.php) )) "$cli" stats noline.php noline.php
run "100 MB line, merge (x2)" $(( 2 * $(size noline.php) )) "$cli" merge noline.php noline.php -o out.php
run "10,000,000 lines, stats" "$(size manylines.php)" "$cli" stats manylines.php
run "10,000,000 lines, merge (x2)" $(( 2 * $(size manylines.php) )) "$cli" merge manylines.php manylines.php -o out.php
run "50 MB random bytes, merge (x2)" $(( 2 * $(size random.php) )) "$cli" merge random.php random.php -o out.php
run "quotes and backslashes, merge (x2)" $(( 2 * $(size quotes.php) )) "$cli" merge quotes.php quotes.php -o out.php
mask=$(python3 -c 'print("*a" * 29 + "*b")')
run "30 star groups against 1 MB, find" "$(size bigtext.php)" "$cli" find bigtext.php "$mask" --in translated
[ -s err.txt ] && { echo "find failed:" >&2; cat err.txt >&2; exit 1; }
run "30 star groups, 1 MB that fits" "$(size bigtext.php)" "$cli" find bigtext.php "$(python3 -c 'print("*a" * 29 + "*")')" --in translated
