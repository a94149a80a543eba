#!/usr/bin/env bash
# quarrow-cli against `sed -i.bak` doing the same rewrite ("#WAV?? *.wav" into "#WAV?? *.ogg", ASCII
# letters without case, a backup of every changed chart, no file check) on two copies of one
# generated corpus of charts; checks that both produced the same charts, and prints the median time
# of each over ROUNDS rounds with the ratio.
#   bench/quarrow_vs_sed.sh [CHARTS] [ROUNDS]     (QUARROW_CLI=path/to/quarrow-cli to pick a build)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
charts=${1:-288}
rounds=${2:-5}
cli=$(program QUARROW_CLI build/bin/quarrow-cli)

python3 bench/gen_charts.py "$work/corpus" "$charts"

# Every round's two copies are made first: no file is deleted while the rounds run, as in a user's
# folder. (Files deleted moments before make ext4 pass over their inodes when it allocates new ones,
# a cost of the bench, not of either program.)
for ((r = 1; r <= rounds; r++)); do
  cp -r "$work/corpus" "$work/q$r"
  cp -r "$work/corpus" "$work/s$r"
done
sync
ours=() theirs=() ours_cpu=() theirs_cpu=()
cpu() { awk '{ printf "%d", ($1 + $2) * 1e9 }' "$work/time"; }
for ((r = 1; r <= rounds; r++)); do
  start=$(now)
  /usr/bin/time -f "%U %S" -o "$work/time" "$cli" --rule '#WAV?? *.wav' '#WAV?? *.ogg' --text-mode --backup \
    --no-file-check --include '*.bms;*.bme' --no-exclude "$work/q$r" >/dev/null
  ours+=($(($(now) - start)))
  ours_cpu+=($(cpu))
  sync  # each side's new charts on the disk before the other side runs, so that neither pays for them
  start=$(now)
  LC_ALL=C /usr/bin/time -f "%U %S" -o "$work/time" sed -i.bak -E \
    's/^#[Ww][Aa][Vv](..) (.*)\.[Ww][Aa][Vv](\r?)$/#WAV\1 \2.ogg\3/' "$work/s$r"/*.bms
  theirs+=($(($(now) - start)))
  theirs_cpu+=($(cpu))
  sync
done
# Both must have written the same charts.
for f in "$work/q$rounds"/*.bms; do
  cmp -s "$f" "$work/s$rounds/$(basename "$f")" || { echo "DIFFERENT RESULT: $(basename "$f")" >&2; exit 1; }
done
q=$(printf '%s\n' "${ours[@]}" | median)
s=$(printf '%s\n' "${theirs[@]}" | median)
qc=$(printf '%s\n' "${ours_cpu[@]}" | median)
sc=$(printf '%s\n' "${theirs_cpu[@]}" | median)
awk -v q="$q" -v s="$s" -v qc="$qc" -v sc="$sc" -v n="$charts" -v r="$rounds" \
  -v size="$(du -sh "$work/corpus" | cut -f1)" -v l="$(load)" -v fs="$(df --output=source,fstype "$work" | tail -1)" 'BEGIN {
  printf "%d charts (%s), median of %d rounds (load %s), on %s\n", n, size, r, l, fs
  printf "  quarrow-cli   %8.1f ms, %6.1f ms of processor time\n", q / 1e6, qc / 1e6
  printf "  sed -i.bak    %8.1f ms, %6.1f ms of processor time\n", s / 1e6, sc / 1e6
  printf "  ratio quarrow-cli / sed = %.2f (processor time %.2f)\n", q / s, qc / sc
}'
