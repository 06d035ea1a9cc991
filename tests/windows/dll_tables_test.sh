#!/usr/bin/env bash
# The Windows DLLs as a loader sees them, read from the files themselves
# (binutils' objdump for PE): the module is a PE32+ x86-64 DLL that exports
# the sixteen names of the contract and nothing else; the simulated station
# exports exactly the functions its two headers declare; and neither imports
# anything but Windows' own DLLs (no MinGW runtime beside them).
#   tests/windows/dll_tables_test.sh OBJDUMP BIN_FOLDER SOURCE_FOLDER
set -euo pipefail
objdump="$1" bin="$2" source="$3"
failures=0

fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# The names of a DLL's export table, one per line, sorted.
exports() {
  "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -nE 's/^\s*\[ *[0-9]+\] (.+)$/\1/p' | sort
}

# The DLLs it imports, one per line.
imports() {
  "$objdump" -p "$1" | sed -nE 's/^\s*DLL Name: (.+)$/\1/p' | sort -u
}

# Windows' own DLLs, as the loader names them. Anything else (libstdc++-6,
# libgcc_s_seh-1, libwinpthread-1, ...) would have to be shipped beside it.
windows_own='^(KERNEL32|kernel32|msvcrt|WINMM|winmm|ADVAPI32|USER32|ntdll)\.dll$|^api-ms-win-[a-z0-9-]+\.dll$'

check_dll() {  # check_dll FILE EXPECTED_EXPORTS
  local file="$1" expected="$2"
  if [ ! -f "$file" ]; then
    fail "$file: not built"
    return
  fi
  local format headers
  format="$("$objdump" -f "$file" 2>&1 | sed -nE 's/.*file format (.+)$/\1/p')"
  headers="$("$objdump" -p "$file" 2>&1 || true)"
  if [ "$format" != "pei-x86-64" ]; then
    fail "$file: file format '${format:-unknown}', expected pei-x86-64 (PE32+ x86-64)"
  elif ! grep -qE '^Magic\s+020b' <<<"$headers"; then
    fail "$file: not a PE32+ image"
  elif ! grep -qE '^\s+DLL$' <<<"$headers"; then
    fail "$file: not a DLL (no DLL characteristic)"
  else
    echo "ok   $file is a PE32+ x86-64 DLL"
  fi
  local actual
  actual="$(exports "$file")"
  if [ "$actual" != "$expected" ]; then
    fail "$file: export table differs from the contract's list:"
    diff <(echo "$expected") <(echo "$actual") | sed -n 's/^</    missing: /p; s/^>/    extra:   /p'
  else
    echo "ok   $file exports exactly $(echo "$expected" | wc -l) names"
  fi
  local foreign
  foreign="$(imports "$file" | grep -vE "$windows_own" || true)"
  if [ -n "$foreign" ]; then
    fail "$file imports DLLs that are not Windows' own: $(echo "$foreign" | tr '\n' ' ')"
  else
    echo "ok   $file imports only Windows' own DLLs: $(imports "$file" | tr '\n' ' ')"
  fi
}

# The module: the seven entry points undecorated, the nine bridge functions
# under the names Microsoft's compiler gives them.
module_exports="$(sort <<'NAMES'
HostAPIVersion
PluginAPIVersion
Initialise
ProvideDeviceDefinitions
BeginDeviceInstantiation
OnManualDeviceInstantiation
Shutdown
?varnix_initialize@@YAPEBDAEAUVarnixMetadataBuf@@HH@Z
?varnix_scan@@YAPEBDAEAUVarnixMetadataBuf@@@Z
?varnix_start@@YAXXZ
?varnix_stop@@YAXXZ
?varnix_close@@YAXXZ
?varnix_configure@@YA_N_N000@Z
?varnix_pollData@@YA_NAEAUVarnixFrameBuf@@@Z
?varnix_changeSensorMode@@YA_NAEAUVarnixMetadataBuf@@PEBD1@Z
?varnix_infoRequest@@YAPEBDPEBDH@Z
NAMES
)"
check_dll "$bin/VarnixViconPlugin.vdd" "$module_exports"

# The station: every function its C headers declare.
station_exports="$(grep -ohE '\b(VarnixNative|VarnixSim)_[A-Za-z]+\(' \
  "$source/contract/station_abi.h" "$source/contract/station_control.h" | tr -d '(' | sort -u)"
check_dll "$bin/VarnixAPI2.dll" "$station_exports"

echo "$failures failed"
[ "$failures" -eq 0 ]
