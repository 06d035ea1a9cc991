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
#   emulator     -> host contract
#   platform, contract, host: nothing else
#
# Tests, benchmarks and fuzzers may include anything. Includes are read as
# "folder/file" (every project include starts from the project root); an
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
  [contract]=""
  [host]=""
)

bad=0
checked=0
for layer in "${!allowed[@]}"; do
  [ -d "$root/$layer" ] || continue
  while IFS= read -r -d '' file; do
    checked=$((checked + 1))
    while IFS=: read -r line target; do
      folder="${target%%/*}"
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
