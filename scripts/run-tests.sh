#!/usr/bin/env bash
# The test command: checks the structure and the layout of the code, then
# builds and runs every test three times: a normal build, an
# AddressSanitizer + UndefinedBehaviorSanitizer build and a ThreadSanitizer
# build. Warnings are errors in all three. Stops at the first failing step
# and says which.
#
#   1. layering: no file includes from a layer above its own (check-layers.sh)
#   2. layout: every C++ file as .clang-format says (check-format.sh)
#   3. normal build; clang-tidy over it (run-clang-tidy.sh); its tests
#   4. Windows: the module and station cross-built with MinGW-w64, the
#      reference host with Microsoft's C++ ABI and the cross-built tests, all
#      under Wine (run-windows-tests.sh); VARNIX_WINDOWS=off skips it
#   5. ASan + UBSan build; its tests
#   6. TSan build; its tests
#
# Tests run in a random order: ctest shuffles the test programs, and each
# GoogleTest program shuffles its cases (it prints the seed; to repeat an
# order, run the program with GTEST_RANDOM_SEED=<seed> GTEST_SHUFFLE=1).
#   scripts/run-tests.sh            everything
#   VARNIX_SANITIZERS=none scripts/run-tests.sh   steps 1 to 4 only
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
total_start=$SECONDS
export GTEST_SHUFFLE=1

step() {  # step <label> <command...>
  local label="$1" start=$SECONDS
  shift
  echo "== $label"
  "$@"
  echo "== $label: done in $((SECONDS - start)) s"
}

build() {  # build <build folder> [cmake arguments...]
  "$here/scripts/setup.sh" "$1" -DVARNIX_WERROR=ON "${@:2}"
}

run_tests() {  # run_tests <build folder> <ctest exclusion regex or "">
  (cd "$1" && ctest --output-on-failure --schedule-random -j "$jobs" ${2:+-E "$2"})
}

# The tools the checks need come with the build's packages (setup.sh).
"$here/scripts/setup.sh" --packages-only
if [ "${VARNIX_WINDOWS:-on}" != "off" ]; then
  "$here/scripts/build-windows.sh" --packages-only
fi

step "layering" "$here/scripts/check-layers.sh"
step "layout" "$here/scripts/check-format.sh"
step "normal build" build "$here/build"
step "clang-tidy" "$here/scripts/run-clang-tidy.sh" "$here/build"
step "normal build: tests" run_tests "$here/build" ""
if [ "${VARNIX_WINDOWS:-on}" != "off" ]; then
  step "Windows build and its tests under Wine" "$here/scripts/run-windows-tests.sh" "$here/build-windows" \
    -DVARNIX_WERROR=ON
fi

case "${VARNIX_SANITIZERS:-all}" in
  none) ;;
  *)
    # The sanitizer builds leave out the benchmarks and vdd-host's real-time
    # checks: sanitizers slow the code several times over, so those would
    # measure the sanitizer, not the plug-in. Every unit, contract, fault and
    # end-to-end test still runs.
    realtime='^vdd_host_capture_tests$'
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    step "AddressSanitizer + UndefinedBehaviorSanitizer build" \
      build "$here/build-asan" -DVARNIX_SANITIZE=address -DVARNIX_BENCH=OFF
    step "AddressSanitizer + UndefinedBehaviorSanitizer build: tests" run_tests "$here/build-asan" "$realtime"
    unset ASAN_OPTIONS UBSAN_OPTIONS
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
    step "ThreadSanitizer build" build "$here/build-tsan" -DVARNIX_SANITIZE=thread -DVARNIX_BENCH=OFF
    step "ThreadSanitizer build: tests" run_tests "$here/build-tsan" "$realtime"
    ;;
esac
echo "== all checks and tests passed in $((SECONDS - total_start)) s"
