#!/usr/bin/env bash
# Builds the two release packages with CPack, into dist/ (or the folder
# given):
#   VarnixViconPlugin-<version>-win64.zip   the Windows module, its README,
#                                           licence, notices and the
#                                           simulated station
#   varnix-vdd-tools_<version>_amd64.deb    vdd-host, the Linux module and
#                                           the simulated station, profiles, docs
# It builds (or brings up to date) the Linux tree build/ and the Windows tree
# build-windows/, the same ones the test command builds, then packs what they
# hold. The version is the one in the top CMakeLists.txt, "-dirty" when
# tracked files have uncommitted changes (the package is still made).
# A missing tool is one line naming the Debian package that brings it, exit 2.
#   scripts/package.sh [output folder]
#   VARNIX_LINUX_BUILD=... VARNIX_WINDOWS_BUILD=... scripts/package.sh   other build trees
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${1:-$here/dist}"
linux_build="${VARNIX_LINUX_BUILD:-$here/build}"
windows_build="${VARNIX_WINDOWS_BUILD:-$here/build-windows}"

# tool:Debian package, in the order they are needed.
for need in cmake:cmake cpack:cmake dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev \
            x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix \
            x86_64-w64-mingw32-windres:binutils-mingw-w64-x86-64; do
  tool="${need%%:*}"
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "package: $tool not found: install the Debian package ${need#*:} (apt-get install ${need#*:})" >&2
    exit 2
  fi
done

start=$SECONDS
echo "== package: Linux build ($linux_build)"
"$here/scripts/setup.sh" "$linux_build"
echo "== package: Windows build ($windows_build)"
"$here/scripts/build-windows.sh" "$windows_build"

mkdir -p "$out"
out="$(cd "$out" && pwd)"
pack() {  # pack <build folder> <generator>
  local scratch
  scratch="$(mktemp -d)"
  (cd "$1" && cpack -G "$2" -B "$scratch" >"$scratch.log" 2>&1) || {
    cat "$scratch.log" >&2
    echo "package: cpack -G $2 failed in $1 (its output is above)" >&2
    rm -rf "$scratch" "$scratch.log"
    exit 1
  }
  find "$scratch" -maxdepth 1 -type f \( -name '*.zip' -o -name '*.deb' \) -exec mv {} "$out/" \; \
    -printf "package: wrote $out/%f\n"
  rm -rf "$scratch" "$scratch.log"
}
pack "$windows_build" ZIP
pack "$linux_build" DEB
echo "== package: done in $((SECONDS - start)) s"
ls -l "$out"
