#!/usr/bin/env bash
# The system calls of quarrow-cli (strace -c) on one folder of CHARTS charts among SOUNDS sound files,
# backups on: once when every chart is rewritten, once when none is (the file check finds no new
# file), each counted per chart besides the listing and the program's own start.
#   bench/quarrow_syscalls.sh [CHARTS] [SOUNDS]     (QUARROW_CLI=path/to/quarrow-cli to pick a build)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
charts=${1:-106}
sounds=${2:-6000}
cli=$(program QUARROW_CLI build/bin/quarrow-cli)

python3 bench/gen_charts.py "$work/model" "$charts"
(cd "$work/model" && seq -f 's%05g.wav' 1 "$sounds" | xargs touch)
mkdir "$work/empty"

count() {  # folder, options...: the system calls of the run beyond those of a run on an empty folder
  local folder=$1
  shift
  local base run
  base=$(syscalls "$cli" --rule '#WAV?? *.wav' '#WAV?? *.ogg' --backup "$@" "$work/empty" | awk '$1 == "total" { print $2 }')
  run=$(syscalls "$cli" --rule '#WAV?? *.wav' '#WAV?? *.ogg' --backup "$@" "$folder")
  listing=$(awk '$1 == "getdents64" { print $2 }' <<<"$run")
  awk -v b="$base" -v l="${listing:-0}" '$1 == "total" { print $2 - b - l }' <<<"$run"
}
cp -r "$work/model" "$work/a"
rewritten=$(count "$work/a" --no-file-check)
cp -r "$work/model" "$work/b"
unchanged=$(count "$work/b" --file-check)
awk -v r="$rewritten" -v u="$unchanged" -v n="$charts" -v s="$sounds" 'BEGIN {
  printf "%d charts among %d sound files, backups on\n", n, s
  printf "  every chart rewritten: %.1f system calls per chart\n", r / n
  printf "  no chart rewritten:    %.1f system calls per chart\n", u / n
}'
