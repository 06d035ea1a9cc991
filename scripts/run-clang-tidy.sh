#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy over the project's own C++
# (the plug-in, the station, the emulator, the benchmarks) and fails on any
# finding. Needs a build folder configured by scripts/setup.sh (it writes
# compile_commands.json).
#   scripts/run-clang-tidy.sh [build folder] [folder...]   default: build/, every folder
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
shift || true
folders=("$@")
[ ${#folders[@]} -gt 0 ] || folders=(plugin acquisition device catalogue bridge platform station emulator bench)

tidy="$(command -v run-clang-tidy || command -v run-clang-tidy-14 || true)"
if [ -z "$tidy" ]; then
  echo "run-clang-tidy: run-clang-tidy not found: install the Debian package clang-tidy (scripts/setup.sh does)" >&2
  exit 2
fi
if [ ! -f "$build/compile_commands.json" ]; then
  echo "run-clang-tidy: $build/compile_commands.json not found: configure the build first (scripts/setup.sh $build)" >&2
  exit 2
fi

cd "$root"
mapfile -t files < <(for folder in "${folders[@]}"; do git ls-files "$folder/*.cpp" "$folder/**/*.cpp"; done | sort -u)
start=$SECONDS
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
if ! "$tidy" -p "$build" -j "$(nproc)" -quiet "${files[@]}" >"$log" 2>&1; then
  grep -E '(warning|error):' "$log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u >&2 || cat "$log" >&2
  echo "run-clang-tidy: findings in ${#files[@]} files (see above); fix them, or say in .clang-tidy why a check does not fit" >&2
  exit 1
fi
echo "run-clang-tidy: ${#files[@]} files, no findings ($((SECONDS - start)) s)"
