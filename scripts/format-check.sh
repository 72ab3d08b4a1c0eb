#!/usr/bin/env bash
# Fails when a C++ source or header is not laid out as .clang-format says; prints the places.
# With --fix, rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
clang-format --dry-run --Werror "${files[@]}"
echo "Format check passed (${#files[@]} files)."
