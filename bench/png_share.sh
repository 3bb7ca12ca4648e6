#!/usr/bin/env bash
# The PNG file's share of basinshot's time: medians of `basinshot quadbasin`
# as a whole process at 800 x 800 and at --size 6400 (wall-clock and CPU
# time, user and system, and the file's size), and of writing the same
# picture's file alone on two threads (png_bench writeFile/SIZE/2: wall-clock
# and whole-process CPU time), and the one as a share of the other.
#
#   bench/png_share.sh [BUILD_DIR [RUNS]]     (defaults: build, 9)
set -euo pipefail

BUILD=${1:-build}
RUNS=${2:-9}
for program in "$BUILD/basinshot" "$BUILD/bench/png_bench"; do
  [[ -x $program ]] || { echo "png_share.sh: no $program; build with -DBASIN_BENCH=ON" >&2; exit 2; }
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

source "$(dirname "${BASH_SOURCE[0]}")/median.sh"

# "wall cpu" in seconds for each of $RUNS runs of basinshot quadbasin at size $1.
process() {
  local TIMEFORMAT='%R %U %S'
  for _ in $(seq "$RUNS"); do
    { time "$BUILD/basinshot" quadbasin --size "$1" --quiet -o "$WORK/q.png" >/dev/null; } 2>&1 |
      awk '{printf "%.4f %.4f\n", $1, $2 + $3}'
  done
}

# "wall cpu" in seconds: the medians of writeFile/$1/2.
encoding() {
  "$BUILD/bench/png_bench" --benchmark_filter="writeFile/$1/2" --benchmark_repetitions="$RUNS" \
    --benchmark_format=csv 2>/dev/null |
    awk -F, '/_median"/ {printf "%.5f %.5f\n", $3 / 1e3, $4 / 1e3}'
}

for size in 800 6400; do
  times=$(process "$size")
  wall=$(cut -d' ' -f1 <<<"$times" | median)
  cpu=$(cut -d' ' -f2 <<<"$times" | median)
  bytes=$(stat -c %s "$WORK/q.png")
  read -r encodeWall encodeCpu <<<"$(encoding "$size")"
  awk -v s="$size" -v w="$wall" -v c="$cpu" -v b="$bytes" -v ew="$encodeWall" -v ec="$encodeCpu" \
    -v n="$RUNS" 'BEGIN {
      printf "%d x %d: basinshot quadbasin %.3f s wall, %.3f s CPU; file %d bytes (medians of %d)\n", s, s, w, c, b, n
      printf "  writing the file: %.1f ms wall, %.1f ms CPU: %.1f %% of the wall time, %.1f %% of the CPU time\n", ew * 1e3, ec * 1e3, 100 * ew / w, 100 * ec / c
    }'
done
