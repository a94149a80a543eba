#!/usr/bin/env bash
# Times quarrow-cli against `sed -i.bak` doing the same rewrite ("#WAV?? *.wav" into "#WAV?? *.ogg",
# ASCII letters without case, a backup of every changed chart, no file check) on two copies of one
# generated corpus of charts, and checks that both produced the same charts.
#   bench/quarrow_vs_sed.sh [CHARTS] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
charts=${1:-300}
runs=${2:-3}
cli=build/bin/quarrow-cli
[ -x "$cli" ] || { cmake --preset default >/dev/null && cmake --build --preset default --target quarrow-cli; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/gen_charts.py "$work/corpus" "$charts"
echo "corpus: $charts charts, $(du -sh "$work/corpus" | cut -f1)"

calc() { python3 -c "print($1)"; }
best_q=999999; best_s=999999
for run in $(seq "$runs"); do
  rm -rf "$work/q" "$work/s"
  cp -r "$work/corpus" "$work/q"
  cp -r "$work/corpus" "$work/s"
  sync
  t0=$(date +%s.%N)
  "$cli" --rule '#WAV?? *.wav' '#WAV?? *.ogg' --text-mode --backup --no-file-check \
    --include '*.bms;*.bme' --no-exclude "$work/q" >/dev/null 2>&1 || true
  t1=$(date +%s.%N)
  LC_ALL=C sed -i.bak -E 's/^#[Ww][Aa][Vv](..) (.*)\.[Ww][Aa][Vv](\r?)$/#WAV\1 \2.ogg\3/' "$work/s"/*.bms
  t2=$(date +%s.%N)
  q=$(calc "$t1 - $t0"); s=$(calc "$t2 - $t1")
  printf 'run %d: quarrow-cli %.3f s, sed %.3f s\n' "$run" "$q" "$s"
  best_q=$(calc "min($q, $best_q)")
  best_s=$(calc "min($s, $best_s)")
done

# Both must have written the same charts.
for f in "$work/q"/*.bms; do
  cmp -s "$f" "$work/s/$(basename "$f")" || { echo "DIFFERENT RESULT: $(basename "$f")"; exit 1; }
done
printf 'best of %d: quarrow-cli %.3f s (%.0f charts/s), sed -i %.3f s; quarrow-cli is %.2fx as fast as sed\n' \
  "$runs" "$best_q" "$(calc "$charts / $best_q")" "$best_s" "$(calc "$best_s / $best_q")"
