#!/usr/bin/env bash
# Formats the project's C++ sources with .clang-format; with --check, only reports files that differ.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
[ ${#files[@]} -eq 0 ] && exit 0
if [ "${1:-}" = "--check" ]; then
    clang-format --dry-run --Werror "${files[@]}"
    echo "format-check: ${#files[@]} files formatted correctly"
else
    clang-format -i "${files[@]}"
fi
