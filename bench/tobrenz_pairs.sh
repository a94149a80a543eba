#!/usr/bin/env bash
# Times tobrenz-cli on one folder of PAIRS same-named pairs (PAIRS *.png targets and PAIRS *.bmp
# partners, 100,000 files by default) and prints the pairs per second. For comparison it also times
# the obvious shell alternative (find + awk + xargs rm) on an identical folder.
#
#   bench/tobrenz_pairs.sh [path/to/tobrenz-cli] [PAIRS]
#
# The folder is made under $TMPDIR (or /tmp) and removed afterwards. The files are sparse: only their
# sizes matter. Of the pairs, half have the larger partner (the partner goes), a quarter the larger
# target and a quarter equal sizes (the target goes), so every pair deletes exactly one file.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-$here/../build/bin/tobrenz-cli}
pairs=${2:-50000}
[[ -x $cli ]] || { echo "no tobrenz-cli at $cli (give its path as the first argument)" >&2; exit 1; }
(( pairs >= 4 )) || { echo "PAIRS must be at least 4" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tobrenz-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

make_corpus() {  # folder
  local dir=$1 half=$((pairs / 2)) quarter=$((pairs * 3 / 4))
  mkdir -p "$dir"
  (cd "$dir" &&
    seq -f 'p%06g.png' 0 $((pairs - 1)) | xargs truncate -s 1000 &&
    seq -f 'p%06g.bmp' 0 $((half - 1)) | xargs truncate -s 3000 &&
    seq -f 'p%06g.bmp' "$half" $((quarter - 1)) | xargs truncate -s 500 &&
    seq -f 'p%06g.bmp' "$quarter" $((pairs - 1)) | xargs truncate -s 1000)
}

now() { date +%s.%N; }

check_left() {  # folder label
  local left
  left=$(find "$1" -maxdepth 1 -type f | wc -l)
  [[ $left -eq $pairs ]] || echo "warning: $2 left $left files, expected $pairs" >&2
}

echo "corpus: $pairs pairs ($((pairs * 2)) files) in one folder under $work"

make_corpus "$work/cli"
sync
start=$(now)
"$cli" --ext bmp --include '*.png' --no-exclude --no-recursive "$work/cli" > "$work/cli.out"
end=$(now)
check_left "$work/cli" tobrenz-cli
tail -n 1 "$work/cli.out"
awk -v s="$start" -v e="$end" -v n="$pairs" \
  'BEGIN { t = e - s; printf "tobrenz-cli:      %.3f s, %.0f pairs/s\n", t, n / t }'

# The shell alternative: list names and sizes once, pair them in awk, delete in batches. It knows
# nothing of letter case, file times or read-only files.
make_corpus "$work/sh"
sync
start=$(now)
find "$work/sh" -maxdepth 1 -type f -printf '%f\t%s\n' |
  awk -F'\t' '{ size[$1] = $2 }
    END {
      for (f in size) {
        if (f !~ /\.png$/) continue
        b = substr(f, 1, length(f) - 4) ".bmp"
        if (!(b in size)) continue
        print (size[b] > size[f] ? b : f)
      }
    }' |
  (cd "$work/sh" && xargs -d '\n' rm -f)
end=$(now)
check_left "$work/sh" "find+awk+xargs"
awk -v s="$start" -v e="$end" -v n="$pairs" \
  'BEGIN { t = e - s; printf "find+awk+xargs:   %.3f s, %.0f pairs/s\n", t, n / t }'
