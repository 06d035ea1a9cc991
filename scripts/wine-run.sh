#!/usr/bin/env bash
# Runs a Windows program under Wine (Debian's wine64), quietly: Wine's own
# messages stay out of the output (WINEDEBUG=-all), and the program runs in
# the Windows build's own Wine prefix, made on first use, so that nothing of
# the user's ~/.wine is touched or needed.
#   scripts/wine-run.sh PROGRAM.exe [arguments...]
# The prefix is VARNIX_WINEPREFIX, else wine-prefix/ beside the program's
# bin/ folder (build-windows/wine-prefix for build-windows/bin/x.exe).
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM.exe [arguments...]" >&2; exit 2; }
wine=/usr/lib/wine/wine64
if [ ! -x "$wine" ]; then
  echo "wine-run: $wine not found: install the Debian package wine64 (scripts/build-windows.sh does)" >&2
  exit 2
fi
program_dir="$(cd "$(dirname "$1")" && pwd)"
export WINEPREFIX="${VARNIX_WINEPREFIX:-$(dirname "$program_dir")/wine-prefix}"
export WINEDEBUG=-all
# No prompts to install Wine's .NET and HTML engines: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
# A fresh prefix takes Wine some seconds and much chatter to make: make it
# once, under a lock, so that tests started in parallel find it ready.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init >"$WINEPREFIX.log" 2>&1 || true
      /usr/lib/wine/wineserver -w 2>/dev/null || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
