#!/usr/bin/env bash
# The Windows DLLs' version resources as Windows reads them (version_info.exe,
# GetFileVersionInfo, under Wine): file and product version, product name,
# description and the commit, equal to what this build was made from.
#   tests/release/version_resource_test.sh WINE_RUNNER BIN_FOLDER BUILD_VERSION_CMAKE
set -euo pipefail
runner="$1" bin="$2" built="$3"
# shellcheck disable=SC1091
source <(sed -nE 's/^set\((VARNIX_BUILT_[A-Z]+) "(.*)"\)$/\1="\2"/p' "$built")
numbers="$(sed -E 's/^([0-9]+\.[0-9]+\.[0-9]+).*/\1.0/' <<<"$VARNIX_BUILT_VERSION")"
failures=0

check_dll() {  # check_dll FILE DESCRIPTION
  local file="$bin/$1" output status=0
  output="$("$runner" "$bin/version_info.exe" "$file" | tr -d '\r')" || status=$?
  echo "$output"
  local expected=(
    "  FixedFileVersion: $numbers" "  FixedProductVersion: $numbers" "  FileType: DLL"
    "  ProductName: VarnixViconPlugin" "  ProductVersion: $VARNIX_BUILT_VERSION"
    "  FileVersion: $VARNIX_BUILT_VERSION" "  OriginalFilename: $1"
    "  Comments: Built from commit $VARNIX_BUILT_COMMIT" "  FileDescription: $2")
  for line in "${expected[@]}"; do
    if [ "$status" -eq 0 ] && grep -qxF -- "$line" <<<"$output"; then
      echo "ok   $1:$line"
    else
      echo "FAIL $1: expected the line '$line' (version_info exit $status)"
      failures=$((failures + 1))
    fi
  done
}
check_dll VarnixViconPlugin.vdd \
  "Device plug-in: the sensors of a Varnix EMG base station as devices of the capture host"
check_dll VarnixAPI2.dll "Simulated Varnix EMG base station, for trying the plug-in without the hardware"
echo "$failures failed"
[ "$failures" -eq 0 ]
