#!/usr/bin/env bash
# Runs the micro-benchmarks and the pipeline benchmark at several station
# sizes and prints one table, headed by the machine and the commands.
#
#   bench/run-benchmarks.sh [-B build-dir] [--before build-dir] [-d seconds]
#                           [-s "16 64 128"] [-F "1 2"] [-L "0 3"] [-r repetitions]
#                           [-P "jitter16 drift16 drift16@-300"]
#                           [--rt] [--no-build] [--no-micro]
#
# Defaults: build folder build-bench beside this script's folder, 20 s per
# pipeline run, sizes 16, 64 and 128 (profiles/sensors<N>.json), frame
# multiple 1 (other multiples run a copy of the profile with frameMultiple
# changed), load 0, 5 repetitions of each micro-benchmark (medians are
# printed).
#
# -P names further profiles, each run at every load after the sizes (frame
# multiple as the profile says) with the -B build only: by default jitter16
# (frames pollable 0-2 ms late, every 7th held for the next) and drift16 (the
# station's clock 300 ppm fast), and drift16@-300, a copy of drift16 whose
# clock runs 300 ppm slow (NAME@PPM sets clockDriftPpm). -P "" runs none.
#
# -L "0 3" runs every size and multiple once on a quiet machine and once with
# 3 busy processes beside it (`sh -c 'while :; do :; done'`, same priority,
# started before the run and stopped with it): a capture PC whose host is
# busy with its cameras.
#
# Beside every pipeline run the table shows the wake floor at that size
# (wake_floor: N threads that sleep and are woken once per frame, doing
# nothing), run under the same load: the CPU the plug-in cannot go below
# with one hand-off thread per device, and the time from a ring to the last
# thread awake, under which the pass (poll to last push) cannot go.
#
# --before DIR runs the same benchmarks with the build in DIR too (an older
# commit built the same way), each pipeline run of it right before the same
# run of -B, so that before and after share one machine state; rows carry
# their build folder's name.
#
# When perf can count the clone system calls, one extra 5 s run at the first
# size counts the threads each build's process started: one per device and
# the acquisition thread, none per frame. It runs apart because counting
# clones makes every thread start dearer. --rt also runs every size at F=1
# under `chrt -f 10` (SCHED_FIFO, needs the right to use it).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-bench"
before=""
seconds=20
sizes="16 64 128"
multiples="1"
extra_profiles="jitter16 drift16 drift16@-300"
loads="0"
repetitions=5
do_build=1
do_micro=1
do_rt=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    -B) build="$2"; shift 2 ;;
    --before) before="$2"; shift 2 ;;
    -d) seconds="$2"; shift 2 ;;
    -s) sizes="$2"; shift 2 ;;
    -F) multiples="$2"; shift 2 ;;
    -L) loads="$2"; shift 2 ;;
    -P) extra_profiles="$2"; shift 2 ;;
    -r) repetitions="$2"; shift 2 ;;
    --no-build) do_build=0; shift ;;
    --no-micro) do_micro=0; shift ;;
    --rt) do_rt=1; shift ;;
    -h|--help) sed -n '2,36p' "$0"; exit 0 ;;
    *) echo "run-benchmarks.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
  esac
done
for load in $loads; do
  [[ $load =~ ^[0-9]+$ ]] || { echo "run-benchmarks.sh: -L wants whole numbers, got '$load'" >&2; exit 2; }
done

builds=()
[[ -n $before ]] && builds+=("$before")
builds+=("$build")

work=$(mktemp -d)
busy=()
stop_busy() {
  if [[ ${#busy[@]} -gt 0 ]]; then
    kill "${busy[@]}" 2>/dev/null || true
    wait "${busy[@]}" 2>/dev/null || true
  fi
  busy=()
}
trap 'stop_busy; rm -rf "$work"' EXIT

start_busy() {  # start_busy <count>
  local i
  for ((i = 0; i < $1; i++)); do
    sh -c 'while :; do :; done' &
    busy+=($!)
  done
}

if [[ $do_build == 1 ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j2 --target pipeline_bench micro_benchmarks wake_floor VarnixViconPlugin >/dev/null
fi
for i in "${!builds[@]}"; do
  b=${builds[$i]}
  [[ -x $b/bin/pipeline_bench ]] || { echo "run-benchmarks.sh: $b/bin/pipeline_bench not found; build it first" >&2; exit 2; }
  builds[$i]=$(cd "$b" && pwd)
done
build=${builds[${#builds[@]}-1]}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(uname -sr)"
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
for b in "${builds[@]}"; do
  commit=$(git -C "$(grep -m1 CMAKE_HOME_DIRECTORY: "$b/CMakeCache.txt" | cut -d= -f2)" rev-parse --short HEAD 2>/dev/null || echo "?")
  echo "build: $b ($(grep -m1 CMAKE_BUILD_TYPE: "$b/CMakeCache.txt" | cut -d= -f2), commit $commit)"
done

# A build's name in file names and in the table: its folder and the folder
# above it ("before-build-bench", "main-build-bench"), so that two checkouts'
# build-bench folders stay apart.
tag() { echo "$(basename "$(dirname "$1")")-$(basename "$1")"; }

if [[ $do_micro == 1 ]]; then
  for b in "${builds[@]}"; do
    [[ -x $b/bin/micro_benchmarks ]] || continue
    echo "command: $b/bin/micro_benchmarks --benchmark_repetitions=$repetitions --benchmark_format=json"
    (cd "$b/bin" && ./micro_benchmarks --benchmark_repetitions="$repetitions" \
        --benchmark_report_aggregates_only=true --benchmark_format=json) >"$work/micro-$(tag "$b").json" 2>/dev/null
  done
fi

runs=()
pipeline() {  # pipeline <run name> <load> <command...>
  local name="$1" load="$2"
  shift 2
  echo "command: $*${load:+ (beside $load busy processes)}"
  start_busy "${load:-0}"
  "$@" >"$work/pipe-$name.json"
  stop_busy
  runs+=("$name")
}

for n in $sizes; do
  for f in $multiples; do
    profile="$root/profiles/sensors$n.json"
    if [[ $f != 1 ]]; then
      python3 -c 'import json,sys; p=json.load(open(sys.argv[1])); p["frameMultiple"]=int(sys.argv[2]); json.dump(p,open(sys.argv[3],"w"))' \
        "$profile" "$f" "$work/sensors$n-F$f.json"
      profile="$work/sensors$n-F$f.json"
    fi
    for load in $loads; do
      l=""; [[ $load != 0 ]] && l=$load
      for b in "${builds[@]}"; do
        pipeline "$(tag "$b")_${n}_${f}_${load}" "$l" "$b/bin/pipeline_bench" -p "$profile" -d "$seconds"
      done
      if [[ -x $build/bin/wake_floor ]]; then
        echo "command: $build/bin/wake_floor -n $n -F $f -d $seconds${l:+ (beside $l busy processes)}"
        start_busy "$load"
        "$build/bin/wake_floor" -n "$n" -F "$f" -d "$seconds" >"$work/floor-${n}_${f}_${load}.json"
        stop_busy
      fi
    done
  done
done

# A profile by name, or NAME@PPM: a copy of it whose clock drifts PPM.
profile_file() {  # profile_file <name>
  local name=${1%@*} file
  file="$root/profiles/$name.json"
  [[ -f $file ]] || { echo "run-benchmarks.sh: -P: no profile $file" >&2; exit 2; }
  if [[ $1 == *@* ]]; then
    python3 -c 'import json,sys; p=json.load(open(sys.argv[1])); p["clockDriftPpm"]=float(sys.argv[2]); json.dump(p,open(sys.argv[3],"w"))' \
      "$file" "${1#*@}" "$work/$1.json"
    file="$work/$1.json"
  fi
  echo "$file"
}

# An older build's station may not know the timing fields: only -B runs them.
for p in $extra_profiles; do
  profile=$(profile_file "$p")
  for load in $loads; do
    l=""; [[ $load != 0 ]] && l=$load
    pipeline "$(tag "$build")_${p}_p_${load}" "$l" "$build/bin/pipeline_bench" -p "$profile" -d "$seconds"
  done
done

if [[ $do_rt == 1 ]]; then
  for n in $sizes; do
    for b in "${builds[@]}"; do
      pipeline "$(tag "$b")_${n}_1rt_0" "" chrt -f 10 "$b/bin/pipeline_bench" -p "$root/profiles/sensors$n.json" -d "$seconds"
    done
  done
fi

first_size=${sizes%% *}
if command -v perf >/dev/null && perf stat -x, -e syscalls:sys_enter_clone3 -o /dev/null true 2>/dev/null; then
  for b in "${builds[@]}"; do
    command=(perf stat -x, -e syscalls:sys_enter_clone3,syscalls:sys_enter_clone -o "$work/perf-$(tag "$b").txt" --
             "$b/bin/pipeline_bench" -p "$root/profiles/sensors$first_size.json" -d 5 --station-seconds 1)
    echo "command: ${command[*]}"
    "${command[@]}" >"$work/perf-run-$(tag "$b").json"
  done
fi
echo "load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"

python3 - "$work" "${runs[*]}" "$(for b in "${builds[@]}"; do tag "$b"; done | tr '\n' ' ')" <<'EOF'
import json, os, sys
work, runs, builds = sys.argv[1], sys.argv[2].split(), sys.argv[3].split()

for build in builds:
    micro = os.path.join(work, f"micro-{build}.json")
    if not os.path.exists(micro):
        continue
    print(f"\nmicro-benchmarks of {build} (median of repetitions, real time)")
    print(f"{'benchmark':<28}{'time':>12}  extra")
    cpu = {}
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
            cpu[name] = b["process_cpu_ns_per_handoff"]
            extra.append(f"{b['process_cpu_ns_per_handoff'] / 1000:.1f} us CPU/thread (all threads)")
        print(f"{name:<28}{b['real_time']:>10.1f} {unit}  {', '.join(extra)}")
    floor = cpu.get("ThreadStartFloor")
    if floor:
        for name, value in cpu.items():
            if name.startswith("HandoffPass"):
                print(f"  {name} CPU per hand-off / ThreadStartFloor: {value / floor:.2f}")

print("\npipeline (null host; latency = station frame ready -> push; poll = ready -> poll;")
print("pass = poll -> last device's push; polls/frame = the station's polls per frame delivered;")
print("CPU in % of one core; F 1rt = F 1 under chrt -f 10; F p = the profile's own multiple;")
print("load = busy processes beside the run; threads = plug-in threads alive at the end;")
print("starts/s = hand-off threads started per second: pushes/s for a thread per frame,")
print("else those that appeared during the window)")
head = ["build", "sensors", "F  ", "load", "frames/s", "lost", "p50 ms", "p99 ms", "max ms", "poll p99",
        "pass p99", "polls/frame", "plug-in CPU %", "us/frame", "station %", "RSS start->end KiB", "less ring",
        "threads", "starts/s"]
width = max([len(b) for b in builds] + [len(head[0])])
head[0] = head[0].ljust(width)
head[1] = head[1].rjust(max([len(run.rsplit("_", 3)[1]) for run in runs] + [len(head[1])]))
print("  ".join(head))
for run in runs:
    build, n, f, load = run.rsplit("_", 3)
    r = json.load(open(os.path.join(work, f"pipe-{run}.json")))
    lat, poll = r["latency_ready_to_push"], r["latency_ready_to_poll"]
    if "handoff_threads_per_s" in r:  # a build that started a thread per push
        threads, starts = "-", f"{r['handoff_threads_per_s']:.0f}"
    else:
        threads = r["plugin_threads"]
        starts = f"{r['handoff_threads_started_in_window'] / r['seconds']:.0f}"
    row = [build, n, f, load, f"{r['frames_per_s']:.1f}", r["frames_lost"],
           f"{lat['p50_ms']:.2f}", f"{lat['p99_ms']:.2f}", f"{lat['max_ms']:.2f}", f"{poll['p99_ms']:.2f}",
           f"{r['poll_to_last_push']['p99_ms']:.2f}",
           f"{r['polls_per_frame']:.2f}" if "polls_per_frame" in r else "-",
           f"{r['plugin_cpu_pct']:.2f}", f"{r['plugin_cpu_us_per_frame']:.0f}", f"{r['station_cpu_pct']:.2f}",
           f"{r['rss_start_kib']}->{r['rss_end_kib']}", r["rss_growth_less_station_ring_kib"], threads, starts]
    print("  ".join([str(row[0]).ljust(width)] + [str(x).rjust(len(h)) for x, h in zip(row[1:], head[1:])]))

floors = sorted(name for name in os.listdir(work) if name.startswith("floor-"))
if floors:
    print("\nwake floor (N sleeping threads woken with one call once per frame, doing nothing;")
    print("CPU in % of one core: the plug-in's CPU at N sensors cannot go below it;")
    print("ring to the last thread awake, ms: the pass at N sensors cannot end before it)")
    print("sensors  F    load  floor CPU %  us/wake  last awake p50  p99")
    for name in sorted(floors, key=lambda x: [int(p) for p in x[6:-5].split("_")]):
        n, f, load = name[6:-5].split("_")
        r = json.load(open(os.path.join(work, name)))
        awake = r.get("last_awake", {})
        print(f"{n:>7}  {f:>3}  {load:>4}  {r['cpu_pct']:>11.2f}  {r['cpu_us_per_wake']:>7.1f}"
              f"  {awake.get('p50_ms', 0):>14.2f}  {awake.get('p99_ms', 0):>4.2f}")

for build in builds:
    perf = os.path.join(work, f"perf-{build}.txt")
    if not os.path.exists(perf):
        continue
    total = 0
    for line in open(perf):
        parts = line.strip().split(",")
        if len(parts) > 2 and parts[2].startswith("syscalls:") and parts[0].isdigit():
            total += int(parts[0])
    r = json.load(open(os.path.join(work, f"perf-run-{build}.json")))
    print(f"\nthreads started by {build} (clone/clone3 counted by perf, whole 5 s process, "
          f"{r['devices']} devices): {total} for {r['pushes_in_run']} pushes = "
          f"{total / max(r['pushes_in_run'], 1):.4f} per push")
EOF
