#!/usr/bin/env bash
# quillmar-cli merge over the language-file shapes of tests/data/shapes, judged by PHP itself.
#   php_shapes.sh QUILLMAR_CLI [NAME...]
# Skipped (77) where php or python3 is missing, failed then under CI=true, where every tool must
# be installed.
set -euo pipefail
here=$(cd "${0%/*}" && pwd)

# shellcheck source=../dist/lib.sh
source "$here/../dist/lib.sh"
need php python3

cli=$1
shift
exec python3 "$here/php_shapes.py" "$cli" "$here/../support/phpjudge.php" \
    "$here/../data/shapes" "$@"
