#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for the
# given number of seconds (default 60), starting from the seed corpora in
# fuzz/corpus/<target>/. New inputs go to build-fuzz/corpus/<target>/, so the
# seeds in the repository stay as they are. Prints executions and coverage.
#
# Usage: scripts/run-fuzzers.sh [seconds-per-target]
set -euo pipefail

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "run-fuzzers.sh: seconds-per-target must be a positive whole number, got '$seconds'" >&2
    exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
cxx="$(command -v clang++-14 || command -v clang++ || true)"
cc="$(command -v clang-14 || command -v clang || true)"
if [ -z "$cxx" ] || [ -z "$cc" ]; then
    echo "run-fuzzers.sh: clang/clang++ not found; install Debian's clang to build libFuzzer targets" >&2
    exit 2
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNIX_FUZZ=ON \
      -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" > "$build.configure.log" 2>&1 || {
    echo "run-fuzzers.sh: configuring $build failed; see $build.configure.log" >&2
    exit 1
}

targets=(catalogue_fuzzer parameter_value_fuzzer)
cmake --build "$build" -j2 --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
    name="${target%_fuzzer}"
    work="$build/corpus/$name"
    log="$build/$target.log"
    mkdir -p "$work" "$build/artifacts/$name"
    echo "== $target: ${seconds}s, seeds $root/fuzz/corpus/$name"
    if ! "$build/bin/$target" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$build/artifacts/$name/" \
            "$work" "$root/fuzz/corpus/$name" > "$log" 2>&1; then
        echo "!! $target found a fault; the input is in $build/artifacts/$name/, the log in $log"
        status=1
    fi
    grep -E '^#[0-9]+.*(DONE|cov:)' "$log" | tail -n 1 || true
    grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|stat::new_units_added' "$log" || true
    echo "   corpus now $(find "$work" -type f | wc -l) inputs in $work"
done
exit "$status"
