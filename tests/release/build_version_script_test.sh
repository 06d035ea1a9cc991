#!/usr/bin/env bash
# cmake/write_build_version.cmake on scratch trees: a clean checkout gives the
# commit, a changed tracked file "-dirty" (an untracked one does not), a tree
# outside any checkout "unknown", an unchanged state leaves the header's time
# alone (so nothing recompiles), and a bad version is refused.
#   tests/release/build_version_script_test.sh SOURCE_FOLDER
set -euo pipefail
source_dir="$1"
script="$source_dir/cmake/write_build_version.cmake"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {  # check <what> <expected> <actual>
  if [ "$2" = "$3" ]; then echo "ok   $1"; else echo "FAIL $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}
generate() {  # generate <tree> [version]: runs the script, prints nothing
  cmake -DSOURCE_DIR="$1" -DOUTPUT="$1.out/contract/build_version.h" \
    -DPACKAGE_OUTPUT="$1.out/build_version.cmake" -DVERSION="${2:-1.2.3}" -P "$script"
}
macro() {  # macro <tree> <name>: the macro's value, quotes removed
  sed -nE "s/^#define $2 \"?([^\"]*)\"?$/\1/p" "$1.out/contract/build_version.h"
}

tree="$scratch/tree"
mkdir -p "$tree"
git -C "$tree" init -q
echo "project(x)" >"$tree/CMakeLists.txt"
git -C "$tree" add CMakeLists.txt
git -C "$tree" -c user.name=test -c user.email=test@localhost commit -qm first
commit="$(git -C "$tree" rev-parse --short=12 HEAD)"

generate "$tree"
check "clean checkout: version" "1.2.3" "$(macro "$tree" VARNIX_VERSION_TEXT)"
check "clean checkout: commit" "$commit" "$(macro "$tree" VARNIX_VERSION_COMMIT)"
check "clean checkout: numbers" "1 2 3 0" \
  "$(macro "$tree" VARNIX_VERSION_MAJOR) $(macro "$tree" VARNIX_VERSION_MINOR) $(macro "$tree" VARNIX_VERSION_PATCH) $(macro "$tree" VARNIX_VERSION_DIRTY)"
check "packaging reads the same version" 'set(VARNIX_BUILT_VERSION "1.2.3")' \
  "$(head -1 "$tree.out/build_version.cmake")"

# Guards against rewriting an unchanged header, which would recompile every
# file that includes it at every build.
touch -d '2001-01-01' "$tree.out/contract/build_version.h"
generate "$tree"
check "unchanged: header not rewritten" "2001" "$(date -r "$tree.out/contract/build_version.h" +%Y)"

echo "notes" >"$tree/untracked.txt"
generate "$tree"
check "an untracked file: still clean" "1.2.3" "$(macro "$tree" VARNIX_VERSION_TEXT)"

echo "# changed" >>"$tree/CMakeLists.txt"
generate "$tree"
check "a changed tracked file: dirty" "1.2.3-dirty" "$(macro "$tree" VARNIX_VERSION_TEXT)"
check "a changed tracked file: flag" "1" "$(macro "$tree" VARNIX_VERSION_DIRTY)"
check "a changed tracked file: packaging" 'set(VARNIX_BUILT_VERSION "1.2.3-dirty")' \
  "$(head -1 "$tree.out/build_version.cmake")"

git -C "$tree" -c user.name=test -c user.email=test@localhost commit -qam second
git -C "$tree" tag v1.2.3
generate "$tree"
check "a tagged commit: described by its tag" "v1.2.3" "$(macro "$tree" VARNIX_VERSION_COMMIT)"

# A source archive unpacked inside some other checkout is not that checkout.
archive="$tree/unpacked"
mkdir -p "$archive"
echo "project(x)" >"$archive/CMakeLists.txt"
generate "$archive"
check "inside another checkout: unknown" "unknown" "$(macro "$archive" VARNIX_VERSION_COMMIT)"
plain="$scratch/plain"
mkdir -p "$plain"
generate "$plain"
check "no checkout: unknown" "unknown" "$(macro "$plain" VARNIX_VERSION_COMMIT)"
check "no checkout: not dirty" "1.2.3" "$(macro "$plain" VARNIX_VERSION_TEXT)"

if output="$(generate "$plain" 1.2 2>&1)"; then
  check "version 1.2 refused" "refused" "accepted"
else
  check "version 1.2 refused, saying what is expected" "yes" \
    "$(grep -q "VERSION must be MAJOR.MINOR.PATCH, got '1.2'" <<<"$output" && echo yes || echo no)"
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
