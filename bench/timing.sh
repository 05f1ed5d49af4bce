# Sourced by the transfer benchmarks; needs $work (a scratch directory with times/) and $mib.
# measure NAME COMMAND...: runs the command and appends "wall user system maxrss_kib".
measure() {
  local name=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >/dev/null
  cat "$work/time.txt" >> "$work/times/$name"
}
# check_size FILE: the whole transfer arrived.
check_size() {
  local size
  size=$(stat -c %s "$1")
  [[ "$size" == $((mib * 1048576)) ]] || { echo "$1: $size bytes, not ${mib} MiB" >&2; exit 1; }
}
