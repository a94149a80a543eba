# What the bench scripts share: a clock, the median of a list, and the system calls a command makes.
now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# syscalls COMMAND...: prints "total calls" then one "name calls" line per system call, as strace
# counts them for the command (its output thrown away).
syscalls() {
  local log
  log=$(mktemp)
  strace -f -c -o "$log" "$@" >/dev/null 2>&1 || true
  awk '$NF ~ /^[a-z_0-9]+$/ && $(NF-1) ~ /^[0-9]+$/ && $NF != "total" { n[$NF] = ($(NF-2) ~ /^[0-9]+$/ && NF == 6) ? $(NF-2) : $(NF-1) }
       $NF == "total" { total = $(NF-2) ~ /^[0-9]+$/ && NF == 6 ? $(NF-2) : $(NF-1) }
       END { print "total", total; for (k in n) print k, n[k] }' "$log"
  rm -f "$log"
}
# load: the machine's load when the bench ran, for the record.
load() { cut -d' ' -f1-3 /proc/loadavg; }
# program VARIABLE PATH: the command line to time: the one the variable names when it is set, else
# PATH; stops the script when it is not built.
program() {
  local path=${!1:-$2}
  [ -x "$path" ] || { echo "no $path (build it, or set $1)" >&2; return 1; }
  echo "$path"
}
# A fresh scratch folder in $work, removed when the script ends.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
