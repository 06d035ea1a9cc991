#!/usr/bin/env bash
# The main job: builds the plug-in, the simulated station and the host
# emulator, then runs one capture the way the capture host does.
#   scripts/run-capture.sh [vdd-host capture options...]
# Without options: 5 seconds on the default station profile (8 EMG sensors),
# writing capture.csv and capture.svg in the current folder.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Only what the capture runs: vdd-host, the module and the station beside it
# (the tests build in scripts/run-tests.sh).
VARNIX_BUILD_TARGETS="vdd-host VarnixViconPlugin VarnixAPI2" "$here/scripts/setup.sh" "$here/build"
if [ $# -eq 0 ]; then
  set -- --duration 5 --csv capture.csv --plot capture.svg
fi
exec "$here/build/bin/vdd-host" capture "$@"
