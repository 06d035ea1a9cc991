#!/usr/bin/env bash
# Fails when a file includes from a layer above its own. The layers, from
# the top down (a folder may include from its own layer's folder and from
# the ones it names):
#
#   plugin       -> acquisition device catalogue bridge platform contract host
#   acquisition  -> device catalogue bridge platform contract host
#   device       -> bridge platform contract host
#   catalogue    -> bridge platform contract host
#   bridge       -> platform contract host
#   station      -> contract
#   emulator/vdd_host            -> its command folders below, emulator host contract
#   emulator/vdd_host/capture    -> .../recording .../plot .../common emulator host contract
#   emulator/vdd_host/describe, validate, recording, plot -> .../common emulator host contract
#   emulator/vdd_host/common     -> emulator host contract
#   emulator     -> host contract
#   platform, contract, host: nothing else
#
# Tests, benchmarks and fuzzers may include anything. Includes are read as
# paths from the project root ("emulator/vdd_host/common/unit_names.h"); a
# file's layer, and an include's, is the longest layer path it lies in. An
# include without a folder is a file of the same folder.
#   scripts/check-layers.sh [project root]
set -euo pipefail
root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"

declare -A allowed=(
  [plugin]="acquisition device catalogue bridge platform contract host"
  [acquisition]="device catalogue bridge platform contract host"
  [device]="bridge platform contract host"
  [catalogue]="bridge platform contract host"
  [bridge]="platform contract host"
  [platform]=""
  [station]="contract"
  [emulator]="host contract"
  [emulator/vdd_host]="emulator/vdd_host/capture emulator/vdd_host/describe emulator/vdd_host/validate emulator/vdd_host/recording emulator/vdd_host/plot emulator/vdd_host/common emulator host contract"
  [emulator/vdd_host/capture]="emulator/vdd_host/recording emulator/vdd_host/plot emulator/vdd_host/common emulator host contract"
  [emulator/vdd_host/describe]="emulator/vdd_host/common emulator host contract"
  [emulator/vdd_host/validate]="emulator/vdd_host/common emulator host contract"
  [emulator/vdd_host/recording]="emulator/vdd_host/common emulator host contract"
  [emulator/vdd_host/plot]="emulator/vdd_host/common emulator host contract"
  [emulator/vdd_host/common]="emulator host contract"
  [contract]=""
  [host]=""
)

# The longest layer path that holds `path` ("" when none does).
layer_of() {
  local path="$1" best="" layer
  for layer in "${!allowed[@]}"; do
    case "$path" in
      "$layer"/*) [ ${#layer} -gt ${#best} ] && best="$layer" ;;
    esac
  done
  echo "$best"
}

bad=0
checked=0
for layer in "${!allowed[@]}"; do
  [ -d "$root/$layer" ] || continue
  while IFS= read -r -d '' file; do
    # A file of a deeper layer is checked as that layer's own.
    [ "$(layer_of "${file#"$root"/}")" = "$layer" ] || continue
    checked=$((checked + 1))
    while IFS=: read -r line target; do
      folder="$(layer_of "$target")"
      [ -z "$folder" ] && folder="${target%%/*}"
      [ "$folder" = "$layer" ] && continue
      case " ${allowed[$layer]} " in
        *" $folder "*) ;;
        *)
          echo "${file#"$root"/}:$line: includes \"$target\": $layer/ may include only from ${allowed[$layer]:-its own folder}" >&2
          bad=$((bad + 1))
          ;;
      esac
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"/]+/' "$file" |
             sed -E 's/^([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1:\2/')
  done < <(find "$root/$layer" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' -o -name '*.in' \) -print0)
done

if [ "$bad" -gt 0 ]; then
  echo "check-layers: $bad include(s) from a layer above their own (see docs/architecture.md)" >&2
  exit 1
fi
echo "check-layers: $checked files, every include from the file's own layer or one below"
