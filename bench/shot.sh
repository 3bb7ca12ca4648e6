#!/usr/bin/env bash
# Times basinshot as a whole process and prints medians:
# - the start-up picture of quadbasin as the program makes it, and as one
#   thread without the vector lanes makes it (BASIN_THREADS=1
#   BASIN_LANES=scalar: the plain single-threaded scalar model), and their
#   ratio;
# - the process's start-up and exit alone (basinshot --version);
# - a 16384 x 16384 print of quadbasin.
#
#   bench/shot.sh [BUILD_DIR [RUNS [BIG_RUNS]]]     (defaults: build, 15, 3)
set -euo pipefail

BUILD=${1:-build}
RUNS=${2:-15}
BIG_RUNS=${3:-3}
[[ -x $BUILD/basinshot ]] || { echo "shot.sh: no $BUILD/basinshot; build first" >&2; exit 2; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

source "$(dirname "${BASH_SOURCE[0]}")/median.sh"

# Seconds of wall time of each of $1 runs of the rest of the line.
times() {
  local runs=$1
  shift
  for _ in $(seq "$runs"); do
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN {printf "%.4f\n", b - a}'
  done
}

fast=$(times "$RUNS" "$BUILD/basinshot" quadbasin -o "$WORK/q.png" | median)
plain=$(times "$RUNS" env BASIN_THREADS=1 BASIN_LANES=scalar "$BUILD/basinshot" quadbasin \
  -o "$WORK/q.png" | median)
startup=$(times "$RUNS" "$BUILD/basinshot" --version | median)
big=$(times "$BIG_RUNS" "$BUILD/basinshot" quadbasin --size 16384 --quiet -o "$WORK/big.png" | median)

printf 'basinshot quadbasin:                       median %.4f s over %d runs\n' "$fast" "$RUNS"
printf 'the same, one thread, scalar solver:       median %.4f s over %d runs\n' "$plain" "$RUNS"
awk -v a="$fast" -v b="$plain" 'BEGIN {printf "ratio:                                     %.3f\n", a / b}'
printf 'basinshot --version (start-up and exit):  median %.4f s over %d runs\n' "$startup" "$RUNS"
printf 'basinshot quadbasin --size 16384:          median %.1f s over %d runs\n' "$big" "$BIG_RUNS"
