#!/usr/bin/env bash
# Runs a window test program (with its arguments) on a virtual display of its own under a window
# manager, where a window's frame is known only a while after the window shows; the offscreen
# platform knows it at once. Skipped (77) where Xvfb or openbox is not installed.
set -euo pipefail
for tool in Xvfb openbox; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is not installed: skipped"
    exit 77
  fi
done
scratch=$(mktemp -d)
pids=()
cleanup() {
  if [ ${#pids[@]} -gt 0 ]; then kill "${pids[@]}" 2>/dev/null || true; fi
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
# Waits for a file to get content; the servers write one when they are ready.
await() {
  for _ in $(seq 400); do
    if [ -s "$1" ]; then return 0; fi
    sleep 0.05
  done
  echo "$2 did not start" >&2
  exit 1
}
# The server takes a free display and names it once it accepts connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
pids+=($!)
await "$scratch/display" Xvfb
export DISPLAY=":$(head -n 1 "$scratch/display")"
openbox --startup "sh -c 'echo up >$scratch/wm'" >"$scratch/openbox.log" 2>&1 &
pids+=($!)
await "$scratch/wm" openbox
QT_QPA_PLATFORM=xcb "$@"
