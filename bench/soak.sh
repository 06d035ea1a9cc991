#!/usr/bin/env bash
# Soak: one long vdd-host capture on the 16-sensor station profile with every
# output on (--csv, --edf, --plot), watched from outside. Reports frames lost,
# vdd-host's own resident memory at minute 1 and at the end (and the growth
# between them), the most threads alive at once and the push latency
# percentiles.
#   bench/soak.sh [--load N] [seconds]   default 600 s, no load
#   VARNIX_BUILD=<build folder> bench/soak.sh 60    (default: build/)
#   VARNIX_SOAK_KEEP_CSV=1 bench/soak.sh            keep the CSV (about 4.5 MB a second)
# --load N runs N busy processes (`sh -c 'while :; do :; done'`, same
# priority) beside the capture for its whole length, as a capture PC whose
# host is busy with its cameras; they stop with it.
# vdd-host's full output and its files go to soak-<time>/ in the current
# folder: soak.log, capture.bdf, capture.svg (capture.csv is removed at the
# end unless kept: 10 minutes make about 2.7 GB).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
load=0
if [ "${1:-}" = "--load" ]; then
  load="${2:-}"
  shift 2 || true
fi
case "$load" in
  ''|*[!0-9]*) echo "soak: --load wants a whole number of busy processes, got '$load'" >&2; exit 2 ;;
esac
seconds="${1:-600}"
build="${VARNIX_BUILD:-$here/build}"
host="$build/bin/vdd-host"
profile="$here/profiles/sensors16.json"
out="soak-$(date -u +%Y%m%dT%H%M%SZ)"
log="$out/soak.log"

if [ ! -x "$host" ]; then
  echo "soak: $host not found; build it first (scripts/setup.sh $build)" >&2
  exit 2
fi
mkdir -p "$out"

busy=()
stop_busy() {
  if [ ${#busy[@]} -gt 0 ]; then
    kill "${busy[@]}" 2>/dev/null || true
    wait "${busy[@]}" 2>/dev/null || true
  fi
  busy=()
}
trap stop_busy EXIT
for ((i = 0; i < load; i++)); do
  sh -c 'while :; do :; done' &
  busy+=($!)
done

"$host" capture --profile "$profile" --duration "$seconds" \
  --csv "$out/capture.csv" --edf "$out/capture.bdf" --plot "$out/capture.svg" >"$log" 2>&1 &
pid=$!
started=$SECONDS

# Samples the process once a second until it is gone.
rss_minute1="" rss_end="" rss_most=0 threads_max=0
while kill -0 "$pid" 2>/dev/null; do
  if status="$(cat "/proc/$pid/status" 2>/dev/null)"; then
    rss="$(awk '/^VmRSS:/ {print $2}' <<<"$status")"
    threads="$(awk '/^Threads:/ {print $2}' <<<"$status")"
    if [ -n "$rss" ] && [ -n "$threads" ]; then
      # Minute 1: the first sample 60 s after the start (the station keeps its
      # last 4096 frames, 55 s, so its own memory is full by then).
      if [ -z "$rss_minute1" ] && [ $((SECONDS - started)) -ge 60 ]; then rss_minute1="$rss"; fi
      rss_end="$rss"
      if [ "$rss" -gt "$rss_most" ]; then rss_most="$rss"; fi
      if [ "$threads" -gt "$threads_max" ]; then threads_max="$threads"; fi
    fi
  fi
  sleep 1
done
set +e
wait "$pid"
rc=$?
set -e
stop_busy

# The summary table: a device name (may hold spaces) then 12 numeric columns:
# pushes samples expected due lost breaks skipped altered p50 p99 max ready.
read -r devices pushes lost p50 p99 max <<<"$(awk '
  NF >= 13 && $(NF) ~ /^-?[0-9]+$/ && $(NF-1) ~ /^[0-9.]+$/ && $(NF-11) ~ /^[0-9]+$/ {
    n++; pushes += $(NF-11); lost += $(NF-7)
    if ($(NF-3) > p50) p50 = $(NF-3)
    if ($(NF-2) > p99) p99 = $(NF-2)
    if ($(NF-1) > max) max = $(NF-1)
  }
  END { printf "%d %d %d %s %s %s\n", n, pushes, lost, p50 + 0, p99 + 0, max + 0 }' "$log")"
station="$(grep -m1 '^station:' "$log" || echo 'station: (no line)')"
verdict="$(grep -m1 '^vdd-host:' "$log" || echo 'vdd-host: (no verdict)')"

growth="?"
if [ -n "$rss_minute1" ] && [ -n "$rss_end" ]; then growth=$((rss_end - rss_minute1)); fi
files="$(cd "$out" && ls -l capture.* 2>/dev/null | awk '{printf "%s %.1f MB; ", $NF, $5 / 1e6}')"
if [ "${VARNIX_SOAK_KEEP_CSV:-0}" != 1 ]; then rm -f "$out/capture.csv"; fi

echo "soak: ${seconds} s capture, profile sensors16.json, $devices devices, --csv --edf --plot, $load busy processes beside it, vdd-host exit $rc (log $log)"
echo "frames lost (due but never pushed, all devices): $lost of $pushes pushes"
echo "$station"
echo "resident memory of vdd-host: minute 1 ${rss_minute1:-?} kB, end ${rss_end:-?} kB, growth ${growth} kB; most ${rss_most} kB"
echo "files: $files"
echo "threads alive at once, most: $threads_max"
echo "latency (worst device): p50 $p50 ms, p99 $p99 ms, max $max ms"
echo "$verdict"
