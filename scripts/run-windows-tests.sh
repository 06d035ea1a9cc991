#!/usr/bin/env bash
# The Windows side, proven under Wine: builds the Windows module, the
# simulated station, the reference host with Microsoft's C++ ABI and the
# cross-built tests when needed (scripts/build-windows.sh, which installs its
# Debian packages as root), then runs them all through ctest:
#   - the reference host on the module: one line per check;
#   - the reference host on bad modules and stations, and on the module built
#     with the Itanium-shaped declarations, which it must refuse;
#   - the DLLs' export and import tables;
#   - the plug-in's own unit, contract and acquisition tests, cross-built.
# The last line reads "N passed, M failed" (ctest's tests); exit 0 only when
# M is 0.
#   scripts/run-windows-tests.sh [build-folder] [extra cmake arguments...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build-windows}"
shift || true
"$here/scripts/build-windows.sh" "$build" "$@"
cd "$build"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

# The reference host's full run first, each check on a line of its own.
status=0
ctest -V -R '^windows_reference_host$' 2>&1 | tee "$log" |
  sed -nE 's/^[0-9]+: ((ok|FAIL) .*|[0-9]+ passed, [0-9]+ failed)$/\1/p' || status=1
# Then every other test, in parallel, with the output of those that fail.
ctest --output-on-failure -j "$(nproc)" -E '^windows_reference_host$' 2>&1 | tee -a "$log" ||
  status=1

passed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log" || true)
failed=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*(Failed|Timeout|Exception|Not Run)' "$log" || true)
if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
  failed=1  # ctest itself failed (no test found, a build problem): never a pass
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
