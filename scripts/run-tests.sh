#!/usr/bin/env bash
# Builds and runs every test three times: a normal build, an AddressSanitizer
# + UndefinedBehaviorSanitizer build and a ThreadSanitizer build. Stops at the
# first failing run.
#   scripts/run-tests.sh            all three
#   VARNIX_SANITIZERS=none scripts/run-tests.sh   the normal build only
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"

run() {  # run <build folder> <label> <ctest exclusion regex or ""> [cmake arguments...]
  local build="$1" label="$2" exclude="$3"
  shift 3
  echo "== $label: building in $build"
  local start=$SECONDS
  "$here/scripts/setup.sh" "$build" "$@"
  echo "== $label: testing"
  (cd "$build" && ctest --output-on-failure -j "$jobs" ${exclude:+-E "$exclude"})
  echo "== $label: done in $((SECONDS - start)) s"
}

run "$here/build" "normal build" ""
case "${VARNIX_SANITIZERS:-all}" in
  none) ;;
  *)
    # The sanitizer builds leave out the benchmarks and vdd-host's real-time
    # throughput check: sanitizers slow the code several times over, so those
    # would measure the sanitizer, not the plug-in. Every unit, contract,
    # fault and end-to-end test still runs.
    realtime='^vdd_host_capture_tests$'
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    run "$here/build-asan" "AddressSanitizer + UndefinedBehaviorSanitizer" "$realtime" \
      -DVARNIX_SANITIZE=address -DVARNIX_BENCH=OFF
    unset ASAN_OPTIONS UBSAN_OPTIONS
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
    run "$here/build-tsan" "ThreadSanitizer" "$realtime" -DVARNIX_SANITIZE=thread -DVARNIX_BENCH=OFF
    ;;
esac
