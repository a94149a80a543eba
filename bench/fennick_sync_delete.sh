#!/usr/bin/env bash
# Sync deletion of a sound set of 5,000 entries from a chart folder that holds them all (plus 500
# entries of its own), by fennick-cli and by find + rm deleting the same names in an identical copy.
# Each side runs on fresh copies; the median of the rounds is reported, with the ratio.
#
#   bench/fennick_sync_delete.sh [ROUNDS]      (FENNICK_CLI=path/to/fennick-cli to pick a build)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh

cli=$(program FENNICK_CLI build/bin/fennick-cli)
rounds=${1:-5}
entries=5000

# The sound set: 4,950 files and 50 folders with a few files each, as a real set may hold.
mkdir "$work/set" "$work/model"
(cd "$work/set" && seq -f 's%04g.wav' 1 $((entries - 50)) | xargs touch &&
  for i in $(seq -w 1 50); do mkdir "d$i" && touch "d$i/a.wav" "d$i/b.wav"; done)
# The chart folder: every entry of the set, and 500 of its own that must stay.
cp -a "$work/set/." "$work/model/"
(cd "$work/model" && seq -f 'own%03g.wav' 1 500 | xargs touch)


fennick_times=() rm_times=()
for ((r = 1; r <= rounds; r++)); do
  rm -rf "$work/t1" "$work/t2"
  cp -a "$work/model" "$work/t1"
  cp -a "$work/model" "$work/t2"
  sync

  start=$(now)
  "$cli" --source "$work/set" --sound-set --no-recursive --sync-delete --no-convert "$work/t1" >/dev/null
  fennick_times+=($(($(now) - start)))

  start=$(now)
  (cd "$work/set" && find . -mindepth 1 -maxdepth 1 -printf '%P\0') | (cd "$work/t2" && xargs -0 rm -rf --)
  rm_times+=($(($(now) - start)))

  left1=$(find "$work/t1" -mindepth 1 | wc -l)
  left2=$(find "$work/t2" -mindepth 1 | wc -l)
  if [ "$left1" -ne 500 ] || [ "$left2" -ne 500 ]; then
    echo "round $r: $left1 and $left2 entries left, 500 expected" >&2
    exit 1
  fi
done

f=$(printf '%s\n' "${fennick_times[@]}" | median)
m=$(printf '%s\n' "${rm_times[@]}" | median)
rm -rf "$work/t1" && cp -a "$work/model" "$work/t1"
calls=$(syscalls "$cli" --source "$work/set" --sound-set --no-recursive --sync-delete --no-convert "$work/t1")
per_entry=$(awk -v n="$entries" '/^(newfstatat|unlinkat|openat|fchmod|fchmodat|close|getdents64|lseek)/ { s += $2 } END { printf "%.2f", s / n }' <<<"$calls")
awk -v f="$f" -v m="$m" -v n="$entries" -v r="$rounds" -v c="$per_entry" -v l="$(load)" 'BEGIN {
  printf "sync deletion of %d entries, median of %d rounds (load %s)\n", n, r, l
  printf "  fennick-cli   %8.1f ms\n", f / 1e6
  printf "  find + rm     %8.1f ms\n", m / 1e6
  printf "  ratio fennick-cli / find+rm = %.2f\n", f / m
  printf "  system calls per source entry, listings and folder contents included: %s\n", c
}'
