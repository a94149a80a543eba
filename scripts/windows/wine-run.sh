#!/usr/bin/env bash
# Runs a Windows program built here under wine: the cross build's tests (CTest runs them, and lists
# them, through this script) or any of its programs by hand.
#
#   scripts/windows/wine-run.sh [--prefix DIR] EXE [ARGS...]
#   scripts/windows/wine-run.sh [--prefix DIR] --stop      ends the prefix's wine server now
#
# The wine prefix (DIR, else $WINEPREFIX, else ~/.local/share/wine-chart-tools) is made at the first
# use, 64-bit only, without a display and without the Mono and Gecko installers wine would offer.
# One wine server per prefix stays up until a minute after its last program ended: starting one
# costs seconds, more than most tests take, so a whole test run shares one.
set -euo pipefail

prefix=${WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/wine-chart-tools}
if [ "${1:-}" = --prefix ]; then
  prefix=${2:?--prefix needs a folder}
  shift 2
fi
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac  # wine takes only an absolute one
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY

# Debian's wine64 alone runs 64-bit programs; /usr/bin/wine would only add a hint about wine32.
if [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; else wine=wine; fi
if [ -x /usr/lib/wine/wineserver64 ]; then wineserver=/usr/lib/wine/wineserver64; else wineserver=wineserver; fi
export WINELOADER=$wine

if [ "${1:-}" = --stop ]; then
  [ -d "$prefix" ] && "$wineserver" -k 2>/dev/null || true
  exit 0
fi
[ $# -ge 1 ] || { echo "usage: $0 [--prefix DIR] EXE [ARGS...] | --stop" >&2; exit 2; }

mkdir -p "$(dirname "$prefix")"
# The prefix is made, and its server started, by one caller at a time: the others wait, so that
# none starts wine's helper programs on its own streams (CTest runs two tests at once).
(
  flock 9
  # (The lock stays with this shell: the server and wine's helpers outlive it.)
  if [ ! -f "$prefix/system.reg" ]; then
    "$wine" wineboot --init </dev/null >"$prefix.log" 2>&1 9>&- || { cat "$prefix.log" >&2; exit 1; }
    "$wineserver" -w 9>&-
  fi
  # Exits at once, with status 2, when the prefix has its server already.
  if "$wineserver" -p60 </dev/null >/dev/null 2>&1 9>&-; then
    "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$prefix.lock"

# On a terminal the program talks to it directly. Else its output goes through files: a helper
# that wine starts on the way (the desktop, the RPC service) outlives the program and would hold a
# pipe open, and CTest would wait for it.
if [ -t 1 ] && [ -t 2 ]; then exec "$wine" "$@"; fi
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
status=0
"$wine" "$@" >"$out" 2>"$err" || status=$?
cat "$out"
cat "$err" >&2
exit $status
