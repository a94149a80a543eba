#!/usr/bin/env bash
# A chart that is one line of SIZE_MB megabytes (no line end at all), rewritten by quarrow-cli with
# rules that match it (a short new line, a new line as long as the old) and one that does not,
# against sed on the same chart: time and the largest memory the program held (/usr/bin/time).
#   bench/quarrow_one_line.sh [SIZE_MB]     (QUARROW_CLI=path/to/quarrow-cli to pick a build)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
size=${1:-200}
cli=$(program QUARROW_CLI build/bin/quarrow-cli)
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (Debian: time)" >&2; exit 1; }

python3 - "$work/one.bms" "$size" <<'PY'
import sys
with open(sys.argv[1], "wb") as f:
    f.write(b"#TITLE ")
    chunk = b"abcdefghij" * 100000
    for _ in range(int(sys.argv[2])):
        f.write(chunk)
PY
echo "one line of ${size} MB (load $(load))"
for rule in "#TITLE *|#TITLE New" "#TITLE *|#GENRE *" "#TITLE a*|#TITLE b*" "#TITLE *.wav|#TITLE *.ogg"; do
  search=${rule%%|*} replace=${rule##*|}
  rm -rf "$work/q" && mkdir "$work/q" && cp "$work/one.bms" "$work/q/"
  /usr/bin/time -f "%e %M" -o "$work/time" "$cli" --rule "$search" "$replace" --no-backup --no-file-check \
    --include '*.bms' "$work/q" >/dev/null
  read -r seconds kb <"$work/time"
  awk -v s="$seconds" -v k="$kb" -v m="$size" -v r="$search -> $replace" \
    'BEGIN { printf "  quarrow-cli %-28s %6.2f s, %6.0f MB held (%.2fx the chart)\n", r, s, k / 1024, k / 1024 / m }'
done
rm -rf "$work/s" && mkdir "$work/s" && cp "$work/one.bms" "$work/s/"
/usr/bin/time -f "%e %M" -o "$work/time" sed -i 's/^#TITLE .*/#TITLE New/' "$work/s/one.bms"
read -r seconds kb <"$work/time"
awk -v s="$seconds" -v k="$kb" 'BEGIN { printf "  sed -i                                   %6.2f s, %6.0f MB held\n", s, k / 1024 }'
