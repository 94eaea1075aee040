#!/usr/bin/env bash
# The work of a batch apart from the disk's flushes:
#  - system calls a report, without options: strace -c -f over N reports
#    less over one, so that the start-up's own calls do not count;
#  - processor time of N reports with the flushes turned off (eatmydata),
#    median of RUNS runs, user and system;
#  - peak resident memory over 1,000 and over 10,000 reports (tiny 3 x 1
#    pictures, flushes off): what the run remembers of earlier reports
#    must stay small.
#
# usage: bench/work.sh [N=300] [RUNS=7]   (BUILD= the build folder, default build-bench)
# Needs strace, eatmydata and /usr/bin/time (Debian's strace, eatmydata, time).
set -euo pipefail
N=${1:-300}
RUNS=${2:-7}
BUILD=${BUILD:-build-bench}
stampo=$(realpath "$BUILD/stampo")
for p in "$stampo" "$BUILD/mksample" /usr/bin/time; do
  [ -x "$p" ] || { echo "missing $p" >&2; exit 1; }
done
for p in strace eatmydata; do
  command -v "$p" >/dev/null || { echo "missing $p" >&2; exit 1; }
done

. "$(dirname "$0")/scans.sh"

fresh() {
  rm -rf "$work/run"
  cp -r "$work/pristine" "$work/run"
}
calls() {  # system calls of one run over the given reports
  strace -f -c -o "$work/calls" "$stampo" "$@" >/dev/null
  awk '$NF == "total" { print $4 }' "$work/calls"
}

fresh
one=$(calls "$work/run/scan$(printf "%0${#N}d" 1).html")
fresh
all=$(calls "$work"/run/*.html)
awk -v n="$N" -v one="$one" -v all="$all" 'BEGIN {
  printf "system calls: %d for one report, %d for %d: %.1f a report\n", one, all, n, (all - one) / (n - 1)
}'

: >"$work/cpu"
for i in $(seq "$RUNS"); do
  fresh
  /usr/bin/time -f "%U %S" -o "$work/t" eatmydata "$stampo" "$work"/run/*.html >/dev/null
  awk '{ print ($1 + $2) * 1000, $1 * 1000, $2 * 1000 }' "$work/t" >>"$work/cpu"
done
sort -n "$work/cpu" | awk -v n="$N" -v runs="$RUNS" '{ v[NR] = $0 } END {
  split(v[int((NR + 1) / 2)], m, " ")
  printf "processor time, flushes off: %.0f ms (user %.0f, system %.0f) for %d reports, median of %d\n", m[1], m[2], m[3], n, runs
}'

# A 3 x 1 picture: the 54-byte header, then one row of four pixels.
tiny() {
  printf 'BMB\0\0\0\0\0\0\0006\0\0\0(\0\0\0\003\0\0\0\001\0\0\0\001\0\030\0\0\0\0\0\014\0\0\0'
  printf '\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0'
  printf '\377\377\377\0\0\0\377\377\377\0\0\0'
}
for count in 1000 10000; do
  rm -rf "$work/many"
  mkdir "$work/many"
  tiny >"$work/many/t.bmp"
  for i in $(seq -w 1 "$count"); do
    cp "$work/pristine/scan$(printf "%0${#N}d" 1).html" "$work/many/t$i.html"
    cp "$work/many/t.bmp" "$work/many/t$i.bmp"
  done
  rm "$work/many/t.bmp"
  /usr/bin/time -f %M -o "$work/rss" eatmydata "$stampo" "$work/many" >/dev/null
  echo "peak resident memory over $count reports: $(cat "$work/rss") KB"
done
