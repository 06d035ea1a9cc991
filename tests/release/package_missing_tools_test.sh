#!/usr/bin/env bash
# scripts/package.sh without one of the tools it needs: one line naming the
# Debian package that brings it, exit 2, before anything is built. Each tool
# is hidden in turn from a PATH of links to every other program.
#   tests/release/package_missing_tools_test.sh SOURCE_FOLDER
set -euo pipefail
source_dir="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0

# Every program on the PATH, as a link; each tool's link is taken away in turn.
bin="$scratch/bin"
mkdir -p "$bin"
IFS=: read -ra folders <<<"$PATH"
for folder in "${folders[@]}"; do
  [ -d "$folder" ] && find "$folder" -maxdepth 1 \( -type f -o -type l \) -perm -u+x \
    -exec ln -s -t "$bin" {} + 2>/dev/null || true
done
for need in cpack:cmake dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev \
            x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix \
            x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64; do
  tool="${need%%:*}" package="${need#*:}"
  [ -L "$bin/$tool" ] && mv "$bin/$tool" "$scratch/hidden"
  status=0
  output="$(PATH="$bin" bash "$source_dir/scripts/package.sh" "$scratch/out" 2>&1)" || status=$?
  [ -L "$scratch/hidden" ] && mv "$scratch/hidden" "$bin/$tool"
  expected="package: $tool not found: install the Debian package $package (apt-get install $package)"
  if [ "$status" -eq 2 ] && [ "$output" = "$expected" ]; then
    echo "ok   without $tool: exit 2, names $package"
  else
    echo "FAIL without $tool: expected exit 2 and '$expected', got exit $status and:"
    echo "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
done
if [ -e "$scratch/out" ]; then
  echo "FAIL a refused run made its output folder"
  failures=$((failures + 1))
fi
echo "$failures failed"
[ "$failures" -eq 0 ]
