#!/usr/bin/env bash
# Starts a Windows .exe (e.g. a mingw build of one of the project's windows)
# under wine on a virtual X display, optionally takes a screenshot of the screen
# after a while and then ends the program.
#
# Usage:
#   scripts/windows/run-under-wine.sh [--screenshot PNG] [--wait SECS] [--keys KEYS] [--timeout SECS] EXE [ARGS...]
#   scripts/windows/run-under-wine.sh --stop
#
#   --screenshot PNG  take a screenshot of the whole virtual screen after --wait
#                     seconds (default 8), then end the program; exits non-zero
#                     if the program died before the screenshot
#   --keys KEYS       with --screenshot: after the wait, press these keys (xdotool's
#                     names, space separated, e.g. "Return alt+e"), each in the
#                     window shown last, and take the screenshot after them
#   --timeout SECS    without --screenshot: end the program after SECS seconds
#                     (exit code 124, as with timeout(1))
#   --stop            end the wine processes, the wineserver and the Xvfb that
#                     earlier runs left running
#
# The first call installs wine, wine64, xvfb and imagemagick if they are missing
# (apt-get, through sudo when not root), makes a 64-bit wine prefix, and starts
# an Xvfb and a persistent wineserver (`wineserver -p`) that later calls reuse,
# so that repeated runs start fast. A display given in DISPLAY is used as it is.
#
# Fonts: Qt's Windows font fallback needs a font with Japanese glyphs, or
# Japanese text shows as boxes; a fresh wine prefix has none of its own. Debian's
# wine lists the Linux side's fontconfig fonts as system fonts, so installing
# fonts-noto-cjk (done here) is what makes Japanese readable. The Noto Sans CJK
# files are also linked into the prefix's C:\windows\Fonts, so that the prefix
# keeps them when wine is run without fontconfig's font list.
#
# Environment:
#   WINEPREFIX      the wine prefix   (${XDG_DATA_HOME:-$HOME/.local/share}/wine-qt-mingw)
#   RUN_WINE_DISPLAY  the Xvfb display number to start if DISPLAY is unset (:99)
#   RUN_WINE_SCREEN   its screen size (1280x800x24)
#   WINEDEBUG       wine's log channels (-all)
set -euo pipefail

export WINEPREFIX=${WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/wine-qt-mingw}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono and no Gecko: wine would otherwise offer to download them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
display_num=${RUN_WINE_DISPLAY:-:99}
screen=${RUN_WINE_SCREEN:-1280x800x24}
state_dir=$WINEPREFIX/.run-under-wine

log() { echo "run-under-wine: $*" >&2; }
die() { log "error: $*"; exit 1; }

screenshot=""
keys=""
wait_secs=8
timeout_secs=""
stop=0
while [ $# -gt 0 ]; do
  case $1 in
    --screenshot) screenshot=${2:?--screenshot needs a file}; shift 2 ;;
    --wait) wait_secs=${2:?--wait needs seconds}; shift 2 ;;
    --keys) keys=${2:?--keys needs keys}; shift 2 ;;
    --timeout) timeout_secs=${2:?--timeout needs seconds}; shift 2 ;;
    --stop) stop=1; shift ;;
    --) shift; break ;;
    -*) die "unknown option $1" ;;
    *) break ;;
  esac
done

wine_bin() {
  # Debian's wine64 package: /usr/bin/wine picks wine64 for 64-bit programs;
  # the wine64 binary itself lives in /usr/lib/wine.
  if command -v wine >/dev/null; then echo wine; else echo /usr/lib/wine/wine64; fi
}
wineserver_bin() {
  if command -v wineserver >/dev/null; then echo wineserver; else echo /usr/lib/wine/wineserver64; fi
}

if [ $stop -eq 1 ]; then
  if [ -d "$WINEPREFIX" ] && command -v "$(wineserver_bin)" >/dev/null; then
    "$(wineserver_bin)" -k 2>/dev/null || true
  fi
  if [ -f "$state_dir/xvfb.pid" ]; then
    kill "$(cat "$state_dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$state_dir/xvfb.pid"
  fi
  log "stopped"
  exit 0
fi

[ $# -ge 1 ] || die "usage: $0 [--screenshot PNG] [--wait SECS] [--keys KEYS] [--timeout SECS] EXE [ARGS...] | --stop"
exe=$1
shift
[ -f "$exe" ] || die "$exe not found"

# --- packages ------------------------------------------------------------------
# fonts-wine: wine's own Tahoma and Marlett, the faces of Windows' dialogs and of a title bar's buttons.
packages=(wine wine64 xvfb xauth imagemagick xdotool fonts-noto-cjk fonts-wine)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
wine=$(wine_bin)
wineserver=$(wineserver_bin)

# --- display -------------------------------------------------------------------
mkdir -p "$WINEPREFIX"
mkdir -p "$state_dir"
if [ -z "${DISPLAY:-}" ]; then
  n=${display_num#:}
  socket=/tmp/.X11-unix/X$n
  # A socket left by an Xvfb of ours that is gone does not count.
  if [ -f "$state_dir/xvfb.pid" ] && ! kill -0 "$(cat "$state_dir/xvfb.pid")" 2>/dev/null; then
    rm -f "$state_dir/xvfb.pid" "$socket" "/tmp/.X$n-lock"
  fi
  if [ ! -S "$socket" ]; then
    log "starting Xvfb :$n ($screen)"
    rm -f "/tmp/.X$n-lock"
    setsid Xvfb ":$n" -screen 0 "$screen" -nolisten tcp >"$state_dir/xvfb.log" 2>&1 </dev/null &
    echo $! >"$state_dir/xvfb.pid"
    for _ in $(seq 1 50); do
      [ -S "$socket" ] && break
      sleep 0.2
    done
    [ -S "$socket" ] || die "Xvfb did not start (see $state_dir/xvfb.log)"
  fi
  export DISPLAY=":$n"
fi

# --- wine prefix -----------------------------------------------------------------
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  log "making the wine prefix $WINEPREFIX"
  "$wine" wineboot --init >"$state_dir/wineboot.log" 2>&1 || die "wineboot failed (see $state_dir/wineboot.log)"
  "$wineserver" -w
fi
# One persistent wineserver for this prefix: later runs attach to it at once.
# When one runs already, this one notices and exits with status 2.
"$wineserver" -p 2>/dev/null || true

fonts_dir=$WINEPREFIX/drive_c/windows/Fonts
mkdir -p "$fonts_dir"
for f in /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc \
         /usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc; do
  if [ -f "$f" ] && [ ! -e "$fonts_dir/$(basename "$f")" ]; then
    ln -s "$f" "$fonts_dir/$(basename "$f")"
    log "linked $(basename "$f") into $fonts_dir"
  fi
done

# --- run -----------------------------------------------------------------------
if [ -z "$screenshot" ]; then
  if [ -n "$timeout_secs" ]; then
    exec timeout "$timeout_secs" "$wine" "$exe" "$@"
  fi
  exec "$wine" "$exe" "$@"
fi

"$wine" "$exe" "$@" >"$state_dir/last-run.log" 2>&1 &
pid=$!
sleep "$wait_secs"
if ! kill -0 "$pid" 2>/dev/null; then
  wait "$pid" || true
  cat "$state_dir/last-run.log" >&2
  die "$exe ended before the screenshot"
fi
if [ -n "$keys" ]; then
  # There is no window manager to give a window the focus: each key goes to the window shown last
  # (a message box before the window it belongs to), given the focus for it.
  for key in $keys; do
    window=""
    for _ in $(seq 1 20); do
      window=$(xdotool search --onlyvisible --name '.+' 2>/dev/null | tail -n1 || true)
      [ -n "$window" ] && break
      sleep 0.5
    done
    [ -n "$window" ] || die "no window to press $key in"
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key "$key" || die "xdotool could not press $key"
    sleep 3
  done
fi
mkdir -p "$(dirname "$screenshot")"
import -window root "$screenshot"
log "screenshot in $screenshot"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
exit 0
