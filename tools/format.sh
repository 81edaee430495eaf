#!/usr/bin/env bash
# Formats every C++ file git tracks with the committed .clang-format (Debian's clang-format 14).
#   tools/format.sh          rewrite the files in place
#   tools/format.sh --check  change nothing; list each difference and fail when there is one
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
if ! command -v "$clang_format" > /dev/null; then
    echo "clang-format not found: install Debian's clang-format package" >&2
    exit 2
fi
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
    "$clang_format" --dry-run --Werror "${files[@]}"
else
    "$clang_format" -i "${files[@]}"
fi
