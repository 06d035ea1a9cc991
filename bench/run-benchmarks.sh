#!/usr/bin/env bash
# Runs the micro-benchmarks and the pipeline benchmark at several station
# sizes and prints one table, headed by the machine and the commands.
#
#   bench/run-benchmarks.sh [-B build-dir] [-d seconds] [-s "16 64 128"]
#                           [-F "1 2"] [-r repetitions] [--rt] [--no-build] [--no-micro]
#
# Defaults: build folder build-bench beside this script's folder, 20 s per
# pipeline run, sizes 16, 64 and 128 (profiles/sensors<N>.json), frame
# multiple 1 (other multiples run a copy of the profile with frameMultiple
# changed), 5 repetitions of each micro-benchmark (medians are printed).
# When perf can count the clone system calls, one extra 5 s run at the first
# size counts the threads the process started per push (1 by design: one
# hand-off thread per push); it runs apart because counting clones makes
# every thread start dearer. --rt also runs every size at F=1 under
# `chrt -f 10` (SCHED_FIFO, needs the right to use it): on a shared machine
# that keeps other people's work from preempting the plug-in's threads, a
# stand-in for a quiet machine.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
seconds=20
sizes="16 64 128"
multiples="1"
repetitions=5
do_build=1
do_micro=1
do_rt=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    -B) build="$2"; shift 2 ;;
    -d) seconds="$2"; shift 2 ;;
    -s) sizes="$2"; shift 2 ;;
    -F) multiples="$2"; shift 2 ;;
    -r) repetitions="$2"; shift 2 ;;
    --no-build) do_build=0; shift ;;
    --no-micro) do_micro=0; shift ;;
    --rt) do_rt=1; shift ;;
    -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
    *) echo "run-benchmarks.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
done

bin="$build/bin"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ $do_build == 1 ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target pipeline_bench micro_benchmarks VarnixViconPlugin >/dev/null
fi

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(uname -sr)"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "build: $build ($(grep -m1 CMAKE_BUILD_TYPE: "$build/CMakeCache.txt" | cut -d= -f2))"

if [[ $do_micro == 1 && -x "$bin/micro_benchmarks" ]]; then
  echo "command: $bin/micro_benchmarks --benchmark_repetitions=$repetitions --benchmark_format=json"
  (cd "$bin" && ./micro_benchmarks --benchmark_repetitions="$repetitions" \
      --benchmark_report_aggregates_only=true --benchmark_format=json) >"$work/micro.json" 2>/dev/null
fi

runs=()
for n in $sizes; do
  for f in $multiples; do
    profile="$root/profiles/sensors$n.json"
    if [[ $f != 1 ]]; then
      python3 -c 'import json,sys; p=json.load(open(sys.argv[1])); p["frameMultiple"]=int(sys.argv[2]); json.dump(p,open(sys.argv[3],"w"))' \
        "$profile" "$f" "$work/sensors$n-F$f.json"
      profile="$work/sensors$n-F$f.json"
    fi
    command=("$bin/pipeline_bench" -p "$profile" -d "$seconds")
    echo "command: ${command[*]}"
    "${command[@]}" >"$work/pipe-$n-$f.json"
    runs+=("$n-$f")
  done
done

if [[ $do_rt == 1 ]]; then
  for n in $sizes; do
    command=(chrt -f 10 "$bin/pipeline_bench" -p "$root/profiles/sensors$n.json" -d "$seconds")
    echo "command: ${command[*]}"
    "${command[@]}" >"$work/pipe-$n-1rt.json"
    runs+=("$n-1rt")
  done
fi

first_size=${sizes%% *}
if command -v perf >/dev/null && perf stat -x, -e syscalls:sys_enter_clone3 -o /dev/null true 2>/dev/null; then
  command=(perf stat -x, -e syscalls:sys_enter_clone3,syscalls:sys_enter_clone -o "$work/perf.txt" --
           "$bin/pipeline_bench" -p "$root/profiles/sensors$first_size.json" -d 5 --station-seconds 1)
  echo "command: ${command[*]}"
  "${command[@]}" >"$work/perf-run.json"
fi
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$work" "${runs[*]}" <<'EOF'
import json, os, sys
work, runs = sys.argv[1], sys.argv[2].split()

micro = os.path.join(work, "micro.json")
if os.path.exists(micro):
    print("\nmicro-benchmarks (median of repetitions, real time)")
    print(f"{'benchmark':<28}{'time':>12}  extra")
    for b in json.load(open(micro))["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].replace("BM_", "").replace("/real_time", "")
        unit = b["time_unit"]
        extra = []
        if "per_device_ns" in b:
            extra.append(f"{b['per_device_ns'] * 1e6:.1f} us/device wall")
        if "allocs_per_handoff" in b:
            extra.append(f"{b['allocs_per_handoff']:.2f} allocs/hand-off")
            extra.append(f"{b['pushes_per_handoff']:.2f} pushes/hand-off")
        if "process_cpu_ns_per_handoff" in b:
            extra.append(f"{b['process_cpu_ns_per_handoff'] / 1000:.1f} us CPU/thread (all threads)")
        print(f"{name:<28}{b['real_time']:>10.1f} {unit}  {', '.join(extra)}")

print("\npipeline (null host; latency = station frame ready -> push; poll = ready -> poll;")
print("pass = poll -> last device's push; CPU in % of one core; F 1rt = F 1 under chrt -f 10)")
head = ["sensors", "F  ", "frames/s", "lost", "p50 ms", "p99 ms", "max ms", "poll p99", "pass p99",
        "plug-in CPU %", "us/frame", "station %", "RSS start->end KiB", "less ring", "threads/s"]
print("  ".join(head))
for run in runs:
    n, f = run.split("-")
    r = json.load(open(os.path.join(work, f"pipe-{run}.json")))
    lat, poll = r["latency_ready_to_push"], r["latency_ready_to_poll"]
    row = [n, f, f"{r['frames_per_s']:.1f}", r["frames_lost"],
           f"{lat['p50_ms']:.2f}", f"{lat['p99_ms']:.2f}", f"{lat['max_ms']:.2f}", f"{poll['p99_ms']:.2f}",
           f"{r['poll_to_last_push']['p99_ms']:.2f}",
           f"{r['plugin_cpu_pct']:.2f}", f"{r['plugin_cpu_us_per_frame']:.0f}", f"{r['station_cpu_pct']:.2f}",
           f"{r['rss_start_kib']}->{r['rss_end_kib']}", r["rss_growth_less_station_ring_kib"],
           f"{r['handoff_threads_per_s']:.0f}"]
    print("  ".join(str(x).rjust(len(h)) for x, h in zip(row, head)))

perf = os.path.join(work, "perf.txt")
if os.path.exists(perf):
    total = 0
    for line in open(perf):
        parts = line.strip().split(",")
        if len(parts) > 2 and parts[2].startswith("syscalls:") and parts[0].isdigit():
            total += int(parts[0])
    r = json.load(open(os.path.join(work, "perf-run.json")))
    print(f"\nthreads started (clone/clone3 counted by perf, whole process) per push: "
          f"{total} / {r['pushes_in_run']} = {total / max(r['pushes_in_run'], 1):.4f} "
          f"(the acquisition thread is the one over)")
EOF
