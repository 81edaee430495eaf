#!/usr/bin/env bash
# quillmar-cli merge over the language-file shapes of tests/data/shapes, judged by PHP itself.
#   php_shapes.sh QUILLMAR_CLI [NAME...]
# Skipped (77) where php or python3 is missing, failed then under CI=true, where every tool must
# be installed.
set -euo pipefail
here=$(cd "${0%/*}" && pwd)

for tool in php python3; do
    command -v "$tool" > /dev/null && continue
    if [ "${CI:-}" = true ]; then
        echo "FAIL: $tool is missing (required when CI=true)"
        exit 1
    fi
    echo "SKIP: $tool is missing; the merged files cannot be judged by PHP"
    exit 77
done

cli=$1
shift
exec python3 "$here/php_shapes.py" "$cli" "$here/../support/phpjudge.php" \
    "$here/../data/shapes" "$@"
