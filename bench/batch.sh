#!/usr/bin/env bash
# The batch measure: N report and picture pairs stamped by one stampo run,
# against the I/O floor program doing the same file operations without
# decoding or drawing, and by one `stampo --png` and one `stampo --png
# --csv` run. Runs alternate; each prints its median wall time and peak
# resident memory over RUNS runs, then the ratios. The flushes to the disk
# make single runs noisy on shared storage: use 9 runs or more.
#
# usage: bench/batch.sh [N=500] [RUNS=7]   (BUILD= the build folder, default build-bench)
set -euo pipefail
N=${1:-500}
RUNS=${2:-7}
BUILD=${BUILD:-build-bench}
stampo=$BUILD/stampo
floor=$BUILD/bench/iofloor
for p in "$stampo" "$floor" "$BUILD/mksample" /usr/bin/time; do
  [ -x "$p" ] || { echo "missing $p (make bench builds it; /usr/bin/time is Debian's 'time')" >&2; exit 1; }
done

. "$(dirname "$0")/scans.sh"

# One timed run of a program (with its options) over fresh copies: prints
# "nanoseconds kilobytes".
timed() {
  rm -rf "$work/run"
  cp -r "$work/pristine" "$work/run"
  sync
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$work/rss" "$@" "$work"/run/*.html >/dev/null
  end=$(date +%s%N)
  echo "$((end - start)) $(cat "$work/rss")"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$work/a"
: >"$work/b"
: >"$work/c"
: >"$work/d"
# The order swaps every round: the run that follows the copy of fresh
# files pays for some of its write-back, and neither program may always
# be the one.
for i in $(seq "$RUNS"); do
  if [ $((i % 2)) = 1 ]; then
    timed "$stampo" >>"$work/a"
    timed "$floor" >>"$work/b"
    timed "$stampo" --png >>"$work/c"
    timed "$stampo" --png --csv "$work/run/results.csv" >>"$work/d"
  else
    timed "$stampo" --png --csv "$work/run/results.csv" >>"$work/d"
    timed "$stampo" --png >>"$work/c"
    timed "$floor" >>"$work/b"
    timed "$stampo" >>"$work/a"
  fi
done
a_ns=$(cut -d' ' -f1 "$work/a" | median)
b_ns=$(cut -d' ' -f1 "$work/b" | median)
c_ns=$(cut -d' ' -f1 "$work/c" | median)
d_ns=$(cut -d' ' -f1 "$work/d" | median)
a_kb=$(cut -d' ' -f2 "$work/a" | median)
b_kb=$(cut -d' ' -f2 "$work/b" | median)
awk -v n="$N" -v runs="$RUNS" -v a="$a_ns" -v b="$b_ns" -v c="$c_ns" -v d="$d_ns" -v ak="$a_kb" \
    -v bk="$b_kb" 'BEGIN {
  printf "batch of %d reports, median of %d runs\n", n, runs
  printf "  stampo   %8.1f ms  %6.1f us/report  peak RSS %6d KB\n", a / 1e6, a / 1e3 / n, ak
  printf "  I/O floor%8.1f ms  %6.1f us/report  peak RSS %6d KB\n", b / 1e6, b / 1e3 / n, bk
  printf "  ratio stampo / floor: %.2f; RSS above the floor: %d KB\n", a / b, ak - bk
  printf "  stampo --png %8.1f ms  %6.1f us/report: %.2f x stampo\n", c / 1e6, c / 1e3 / n, c / a
  printf "  stampo --png --csv %8.1f ms  %6.1f us/report: %.2f x stampo\n", d / 1e6, d / 1e3 / n, d / a
}'
