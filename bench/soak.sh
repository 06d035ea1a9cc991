#!/usr/bin/env bash
# Soak: one long vdd-host capture on the 16-sensor station profile, watched
# from outside. Reports frames lost, resident memory at start and end, the
# most threads alive at once and the push latency percentiles.
#   bench/soak.sh [--load N] [seconds]   default 600 s, no load
#   VARNIX_BUILD=<build folder> bench/soak.sh 60    (default: build/)
# --load N runs N busy processes (`sh -c 'while :; do :; done'`, same
# priority) beside the capture for its whole length, as a capture PC whose
# host is busy with its cameras; they stop with it.
# vdd-host's full output is kept in soak-<time>.log in the current folder.
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
log="soak-$(date -u +%Y%m%dT%H%M%SZ).log"

if [ ! -x "$host" ]; then
  echo "soak: $host not found; build it first (scripts/setup.sh $build)" >&2
  exit 2
fi

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

"$host" capture --profile "$profile" --duration "$seconds" >"$log" 2>&1 &
pid=$!

# Samples the process once a second until it is gone.
rss_start="" rss_end="" threads_max=0 samples=0
while kill -0 "$pid" 2>/dev/null; do
  if status="$(cat "/proc/$pid/status" 2>/dev/null)"; then
    rss="$(awk '/^VmRSS:/ {print $2}' <<<"$status")"
    threads="$(awk '/^Threads:/ {print $2}' <<<"$status")"
    if [ -n "$rss" ] && [ -n "$threads" ]; then
      samples=$((samples + 1))
      # Start: the first sample after the module is loaded and streaming (2 s in).
      if [ -z "$rss_start" ] && [ "$samples" -ge 2 ]; then rss_start="$rss"; fi
      rss_end="$rss"
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

echo "soak: ${seconds} s capture, profile sensors16.json, $devices devices, $load busy processes beside it, vdd-host exit $rc (log $log)"
echo "frames lost (due but never pushed, all devices): $lost of $pushes pushes"
echo "$station"
echo "resident memory: start ${rss_start:-?} kB, end ${rss_end:-?} kB"
echo "threads alive at once, most: $threads_max"
echo "latency (worst device): p50 $p50 ms, p99 $p99 ms, max $max ms"
echo "$verdict"
