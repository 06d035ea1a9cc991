#!/usr/bin/env bash
# Runs the micro-benchmarks and the pipeline benchmark at several station
# sizes and prints one table, headed by the machine and the commands.
#
#   bench/run-benchmarks.sh [-B build-dir] [-d seconds] [-s "16 64 128"]
#                           [-r repetitions] [--no-build] [--no-micro]
#
# Defaults: build folder build-bench beside this script's folder, 20 s per
# pipeline run, sizes 16, 64 and 128 (profiles/sensors<N>.json), 5
# repetitions of each micro-benchmark (medians are printed). When perf can
# count the clone system calls, each pipeline run also reports the threads
# the process started per push (1 by design: one hand-off thread per push).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
seconds=20
sizes="16 64 128"
repetitions=5
do_build=1
do_micro=1
while [[ $# -gt 0 ]]; do
  case "$1" in
    -B) build="$2"; shift 2 ;;
    -d) seconds="$2"; shift 2 ;;
    -s) sizes="$2"; shift 2 ;;
    -r) repetitions="$2"; shift 2 ;;
    --no-build) do_build=0; shift ;;
    --no-micro) do_micro=0; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
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

perf_ok=0
if command -v perf >/dev/null && perf stat -x, -e syscalls:sys_enter_clone3 -o /dev/null true 2>/dev/null; then
  perf_ok=1
fi
for n in $sizes; do
  profile="$root/profiles/sensors$n.json"
  command=("$bin/pipeline_bench" -p "$profile" -d "$seconds")
  echo "command: ${command[*]}"
  if [[ $perf_ok == 1 ]]; then
    perf stat -x, -e syscalls:sys_enter_clone3,syscalls:sys_enter_clone -o "$work/perf$n.txt" -- \
      "${command[@]}" >"$work/pipe$n.json"
  else
    "${command[@]}" >"$work/pipe$n.json"
  fi
done
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$work" "$sizes" <<'EOF'
import json, os, sys
work, sizes = sys.argv[1], sys.argv[2].split()

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
        if "allocs_per_handoff" in b:
            extra.append(f"{b['allocs_per_handoff']:.2f} allocs/hand-off")
            extra.append(f"{b['pushes_per_handoff']:.2f} pushes/hand-off")
            extra.append(f"{b['per_device_ns'] * 1e9:.0f} ns/device")
        print(f"{name:<28}{b['real_time']:>10.1f} {unit}  {', '.join(extra)}")

def clones(n):
    path = os.path.join(work, f"perf{n}.txt")
    if not os.path.exists(path):
        return None
    total = 0
    for line in open(path):
        parts = line.strip().split(",")
        if len(parts) > 2 and parts[2].startswith("syscalls:") and parts[0].isdigit():
            total += int(parts[0])
    return total

print("\npipeline (null host; latency = station frame ready -> push)")
head = ["sensors", "devices", "frames/s", "lost", "p50 ms", "p99 ms", "max ms", "poll p99",
        "plug-in CPU %", "us/frame", "station %", "RSS start->end KiB", "threads/s", "clones/push"]
print("  ".join(head))
for n in sizes:
    r = json.load(open(os.path.join(work, f"pipe{n}.json")))
    lat, poll = r["latency_ready_to_push"], r["latency_ready_to_poll"]
    c = clones(n)
    per_push = "-"
    if c is not None:
        # whole process, warm-up included: the acquisition thread plus one per push
        per_push = f"{c / max(r['pushes_in_run'], 1):.3f}"
    row = [n, r["devices"], f"{r['frames_per_s']:.1f}", r["frames_lost"],
           f"{lat['p50_ms']:.2f}", f"{lat['p99_ms']:.2f}", f"{lat['max_ms']:.2f}", f"{poll['p99_ms']:.2f}",
           f"{r['plugin_cpu_pct']:.2f}", f"{r['plugin_cpu_us_per_frame']:.0f}", f"{r['station_cpu_pct']:.2f}",
           f"{r['rss_start_kib']}->{r['rss_end_kib']}", f"{r['handoff_threads_per_s']:.0f}", per_push]
    print("  ".join(str(x).rjust(len(h)) for x, h in zip(row, head)))
EOF
