#!/usr/bin/env bash
# Soak of vdd-host's memory under a chatty plug-in: one long capture of the
# test double that logs a line into the host on every push (the real module
# behind it; tests/emulator/broken_plugin.cpp, "chatty"), watched from
# outside. Reports vdd-host's resident memory once its windows and the
# station's memory of its last 4096 frames (55 s) are full, at 60 s, and at
# the end, and the growth between them; fails when the growth is 2 MiB or
# more, or the capture fails.
#   bench/chatty-soak.sh [seconds]        default 600 s
#   VARNIX_BUILD=<build folder> bench/chatty-soak.sh 60    (default: build/)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
build="${VARNIX_BUILD:-$here/build}"
host="$build/bin/vdd-host"
module="$build/bin/emulator_broken_chatty.vdd"
settle=60
case "$seconds" in
  ''|*[!0-9]*) echo "chatty-soak: seconds must be a whole number, got '$seconds'" >&2; exit 2 ;;
esac
if [ "$seconds" -le $((settle + 10)) ]; then
  echo "chatty-soak: give more than $((settle + 10)) seconds, got $seconds" >&2
  exit 2
fi
for file in "$host" "$module"; do
  if [ ! -e "$file" ]; then
    echo "chatty-soak: $file not found; build it first (cmake --build $build)" >&2
    exit 2
  fi
done
log="$(mktemp -t chatty-soak.XXXXXX)"

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }

"$host" capture --module "$module" --duration "$seconds" --quiet >"$log" 2>&1 &
pid=$!
sleep "$settle"
start=$(rss_kib "$pid")
echo "chatty-soak: vdd-host pid $pid, RSS at ${settle} s: $start KiB"
sleep $((seconds - settle - 2))
end=$(rss_kib "$pid")
echo "chatty-soak: RSS at $((seconds - 2)) s: $end KiB"
status=0
wait "$pid" || status=$?
tail -n 3 "$log"
growth=$((end - start))
echo "chatty-soak: growth $growth KiB over $((seconds - settle - 2)) s (limit 2048 KiB), capture exit $status"
rm -f "$log"
[ "$status" -eq 0 ] && [ "$growth" -lt 2048 ]
