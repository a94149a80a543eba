#!/usr/bin/env bash
# tobrenz-cli against what a user would script instead: a 20-line Python script (os.scandir, one
# dict, two stats and an unlink per pair), on identical folders of PAIRS same-named pairs (PAIRS
# *.png targets and PAIRS *.bmp partners). Prints the median time of each over ROUNDS rounds, the
# ratio, and the system calls per pair besides listing (strace -c).
#
#   bench/tobrenz_pairs.sh [PAIRS] [ROUNDS]     (TOBRENZ_CLI=path/to/tobrenz-cli to pick a build)
#
# The files are sparse: only their sizes matter. Half the pairs have the larger partner (the partner
# goes), a quarter the larger target and a quarter equal sizes (the target goes).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
cli=$(program TOBRENZ_CLI "$here/../build/bin/tobrenz-cli")
pairs=${1:-20000}
rounds=${2:-5}

cat > "$work/pairs.py" <<'PY'
import os, sys
folder, ext = sys.argv[1], "." + sys.argv[2]
entries = {e.name: e for e in os.scandir(folder)}
for name in list(entries):
    if not name.endswith(".png"):
        continue
    partner = name.rsplit(".", 1)[0] + ext
    if partner not in entries:
        continue
    target_path = os.path.join(folder, name)
    partner_path = os.path.join(folder, partner)
    target_size = os.stat(target_path).st_size
    partner_size = os.stat(partner_path).st_size
    os.unlink(partner_path if partner_size > target_size else target_path)
PY

make_corpus() {  # folder
  local dir=$1 half=$((pairs / 2)) quarter=$((pairs * 3 / 4))
  mkdir -p "$dir"
  (cd "$dir" &&
    seq -f 'p%06g.png' 0 $((pairs - 1)) | xargs truncate -s 1000 &&
    seq -f 'p%06g.bmp' 0 $((half - 1)) | xargs truncate -s 3000 &&
    seq -f 'p%06g.bmp' "$half" $((quarter - 1)) | xargs truncate -s 500 &&
    seq -f 'p%06g.bmp' "$quarter" $((pairs - 1)) | xargs truncate -s 1000)
}
left() { find "$1" -maxdepth 1 -type f | wc -l; }

make_corpus "$work/model"
ours=() theirs=()
for ((r = 1; r <= rounds; r++)); do
  rm -rf "$work/a" "$work/b"
  cp -a "$work/model" "$work/a"
  cp -a "$work/model" "$work/b"
  sync
  start=$(now)
  "$cli" --ext bmp --include '*.png' --no-exclude --no-recursive "$work/a" >/dev/null
  ours+=($(($(now) - start)))
  start=$(now)
  python3 "$work/pairs.py" "$work/b" bmp
  theirs+=($(($(now) - start)))
  [[ $(left "$work/a") -eq $pairs && $(left "$work/b") -eq $pairs ]] || { echo "round $r: wrong files left" >&2; exit 1; }
  diff <(ls "$work/a") <(ls "$work/b") >/dev/null || { echo "round $r: different files left" >&2; exit 1; }
done
o=$(printf '%s\n' "${ours[@]}" | median)
p=$(printf '%s\n' "${theirs[@]}" | median)

# System calls: listing aside (getdents64 and the folder's own opening), per pair.
rm -rf "$work/a" && cp -a "$work/model" "$work/a"
calls=$(syscalls "$cli" --ext bmp --include '*.png' --no-exclude --no-recursive "$work/a")
per_pair=$(awk -v n="$pairs" '/^(newfstatat|unlinkat|utimensat|fchmodat|statx)/ { s += $2 } END { printf "%.2f", s / n }' <<<"$calls")

awk -v o="$o" -v p="$p" -v n="$pairs" -v r="$rounds" -v c="$per_pair" -v l="$(load)" 'BEGIN {
  printf "%d pairs in one folder, median of %d rounds (load %s)\n", n, r, l
  printf "  tobrenz-cli      %8.1f ms\n", o / 1e6
  printf "  python script    %8.1f ms\n", p / 1e6
  printf "  ratio tobrenz-cli / python = %.2f\n", o / p
  printf "  system calls per pair besides listing: %s\n", c
}'
