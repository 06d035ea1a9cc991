#!/usr/bin/env bash
# Builds the Windows (x86-64) module and simulated station, and the tests that
# run under Wine, into build-windows/ (or the folder given): MinGW-w64's g++
# cross-compiles (cmake/mingw-w64-x86_64.cmake), clang-cl builds the
# reference host with Microsoft's C++ ABI. Run as root, it first installs the
# Debian packages it needs that are missing.
#   scripts/build-windows.sh [build-folder] [extra cmake arguments...]
#   scripts/build-windows.sh --packages-only
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build-windows}"
shift || true

# What each package brings: the cross compiler and its binutils (objdump for
# the DLL tables test); Boost's and nlohmann-json's headers and GoogleTest's
# sources; clang-cl, lld-link and llvm-dlltool for the reference host; Wine.
packages=(cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libboost-dev
          nlohmann-json3-dev googletest clang-tools-14 lld llvm)
# Wine with the libraries it recommends, as on the machines that proved it.
wine_packages=(wine64)
missing=() missing_wine=()
for p in "${packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
for p in "${wine_packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing_wine+=("$p"); done
if [ $((${#missing[@]} + ${#missing_wine[@]})) -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "build-windows: installing ${missing[*]} ${missing_wine[*]}"
    apt-get update -qq
    if [ ${#missing[@]} -gt 0 ]; then
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
    if [ ${#missing_wine[@]} -gt 0 ]; then
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing_wine[@]}" >/dev/null
    fi
  else
    echo "build-windows: missing Debian packages: ${missing[*]} ${missing_wine[*]}" >&2
    echo "build-windows: install them with: sudo apt-get install ${missing[*]} ${missing_wine[*]}" >&2
    exit 1
  fi
fi

[ "$build" = "--packages-only" ] && exit 0

cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE="${VARNIX_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
