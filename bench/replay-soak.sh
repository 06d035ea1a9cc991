#!/usr/bin/env bash
# Replay soak: vdd-host plays a recording back through the plug-in and is
# watched from outside. Reports vdd-host's resident memory (the station
# lives in its process) at 10 s, at minute 1 and at the end, the frames the
# station delivered against the frames the wall clock allows, and the
# slowest push after its frame was due (vdd-host's latency: frame ready at
# the station to push in the host).
#   bench/replay-soak.sh FILE [seconds] [from]    default 60 s, from the start
#   VARNIX_BUILD=<build folder> bench/replay-soak.sh ...   (default: build/)
# A long file to play: build/bin/write_recording hour.bdf --seconds 3600.
# With `from`, the replay begins that many seconds into the recording (a
# replay profile in the output folder says so).
# vdd-host's output goes to replay-soak-<time>/replay.log.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
file="${1:?usage: bench/replay-soak.sh FILE [seconds] [from]}"
seconds="${2:-60}"
from="${3:-}"
build="${VARNIX_BUILD:-$here/build}"
host="$build/bin/vdd-host"
out="replay-soak-$(date -u +%Y%m%dT%H%M%SZ)"
log="$out/replay.log"

if [ ! -x "$host" ]; then
  echo "replay-soak: $host not found; build it first (scripts/setup.sh $build)" >&2
  exit 2
fi
if [ ! -f "$file" ]; then
  echo "replay-soak: recording $file not found" >&2
  exit 2
fi
mkdir -p "$out"
source_args=(--replay "$file")
if [ -n "$from" ]; then
  printf '{"replay": "%s", "from": %s}\n' "$(realpath "$file")" "$from" >"$out/replay.json"
  source_args=(--profile "$out/replay.json")
fi

"$host" capture "${source_args[@]}" --duration "$seconds" >"$log" 2>&1 &
pid=$!
started=$SECONDS
rss_10="" rss_60="" rss_end=""
while kill -0 "$pid" 2>/dev/null; do
  rss="$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)"
  if [ -n "$rss" ]; then
    rss_end="$rss"
    elapsed=$((SECONDS - started))
    [ -z "$rss_10" ] && [ "$elapsed" -ge 10 ] && rss_10="$rss"
    [ -z "$rss_60" ] && [ "$elapsed" -ge 60 ] && rss_60="$rss"
  fi
  sleep 1
done
set +e
wait "$pid"
status=$?
set -e

delivered="$(sed -n 's/.*frames delivered \([0-9]*\).*/\1/p' "$log" | tail -1)"
# Per device row: ... samples expected ... p50 p99 max ready. The slowest
# push over all devices, and the first device's samples against the ones
# its elapsed time allows.
slowest="$(awk '/^ *(EMG|IMU|S[0-9])/ && NF >= 13 { if ($(NF - 1) + 0 > m) m = $(NF - 1) + 0 } END { print m + 0 }' "$log")"
p99="$(awk '/^ *(EMG|IMU|S[0-9])/ && NF >= 13 { if ($(NF - 2) + 0 > m) m = $(NF - 2) + 0 } END { print m + 0 }' "$log")"
pace="$(awk '/^ *(EMG|IMU|S[0-9])/ && NF >= 13 { print $(NF - 10) " samples, " $(NF - 9) " expected from its elapsed time"; exit }' "$log")"
echo "replay of $file${from:+ from $from s} for $seconds s: vdd-host exit $status"
echo "  frames delivered: ${delivered:-?}; first device: ${pace:-?}"
echo "  push after its frame was ready at the station: p99 up to $p99 ms, slowest $slowest ms (a frame lasts 13.5 ms x frameMultiple)"
echo "  vdd-host RSS: ${rss_10:-?} kB at 10 s, ${rss_60:--} kB at 60 s, ${rss_end:-?} kB at the end"
tail -1 "$log"
