#!/usr/bin/env bash
# Fails when a C++ file of the project is not laid out as .clang-format says,
# and names the files; `clang-format -i FILE` (or this script with --fix)
# lays them out.
#   scripts/check-format.sh [--fix]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
format="$(command -v clang-format || command -v clang-format-14 || true)"
if [ -z "$format" ]; then
  echo "check-format: clang-format not found: install the Debian package clang-format (scripts/setup.sh does)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' | grep -v '^fuzz/corpus/')
if [ "${1:-}" = "--fix" ]; then
  "$format" -i "${files[@]}"
  echo "check-format: laid out ${#files[@]} files"
  exit 0
fi
bad=()
for file in "${files[@]}"; do
  if ! "$format" --dry-run --Werror "$file" >/dev/null 2>&1; then
    bad+=("$file")
  fi
done
if [ ${#bad[@]} -gt 0 ]; then
  printf 'check-format: not laid out as .clang-format says: %s\n' "${bad[@]}" >&2
  echo "check-format: ${#bad[@]} of ${#files[@]} files; run scripts/check-format.sh --fix (or clang-format -i FILE)" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files laid out as .clang-format says"
