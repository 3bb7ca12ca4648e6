#!/usr/bin/env bash
# Times the viewer's frame on screen under Xvfb, from the `d` key to the
# finished picture, and prints the median over several frames.
#
#   bench/onscreen.sh [BUILD_DIR [FRAMES]]     (defaults: build, 7)
#
# Needs Xvfb and xdotool. Each program is started in its own 800 x 800
# window; once its start-up frame is done, `d` is pressed FRAMES times, each
# time after the previous frame has finished. A frame counts from just
# before the key is sent until the last moment at which the viewer, or the
# X server taking in its drawing, still used the processor (scheduler run
# times summed over all threads, read every 2 ms by this shell itself,
# without forking, so that sampling takes next to nothing from what it
# measures; the frame is over after 300 ms without any). The start includes
# the few milliseconds xdotool takes to deliver the key.
set -euo pipefail

BUILD=${1:-build}
FRAMES=${2:-7}
QUIET_US=300000  # no processor use for this long: the frame is on screen

for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "onscreen.sh: $tool is not installed" >&2; exit 2; }
done
for program in duobasin quadbasin; do
  [[ -x $BUILD/$program ]] || { echo "onscreen.sh: no $BUILD/$program; build first" >&2; exit 2; }
done

source "$(dirname "${BASH_SOURCE[0]}")/../tools/xvfb.sh"
WORK=$(mktemp -d)
VIEWER=
cleanup() {
  [[ -n $VIEWER ]] && kill "$VIEWER" 2>/dev/null && wait "$VIEWER" 2>/dev/null
  xvfb_stop
  rm -rf "$WORK"
}
trap cleanup EXIT
xvfb_start

# Microseconds now, into NOW_US.
now_us() {
  local t=${EPOCHREALTIME/./}
  NOW_US=$((10#$t))
}

# Run time in ns of every thread of the processes given, into RUN_NS.
run_ns() {
  local pid task ns _
  RUN_NS=0
  for pid in "$@"; do
    for task in /proc/"$pid"/task/*/schedstat; do
      read -r ns _ <"$task" 2>/dev/null || continue
      RUN_NS=$((RUN_NS + ns))
    done
  done
}

# Waits until the viewer ($1) has used no processor for $3 us and sets
# FINISH_US to its last use, or the X server's ($2) while it was still
# taking in the drawing, up to 50 ms after. Builtins only: no forks.
settle() {
  local viewer=$1 server=$2 quiet=$3 last_ns last_sns last_change
  run_ns "$viewer"
  last_ns=$RUN_NS
  run_ns "$server"
  last_sns=$RUN_NS
  now_us
  last_change=$NOW_US
  FINISH_US=$NOW_US
  while :; do
    xvfb_pause 0.002
    now_us
    run_ns "$viewer"
    if ((RUN_NS != last_ns)); then
      last_ns=$RUN_NS
      last_change=$NOW_US
      FINISH_US=$NOW_US
    elif ((NOW_US - last_change >= quiet)); then
      return
    fi
    [[ -d /proc/$viewer ]] || { echo "process $viewer ended" >&2; return 1; }
    run_ns "$server"
    if ((RUN_NS != last_sns)); then
      last_sns=$RUN_NS
      ((NOW_US - last_change <= 50000)) && FINISH_US=$NOW_US
    fi
  done
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

for program in duobasin quadbasin; do
  "$BUILD/$program" >/dev/null &
  VIEWER=$!
  window=$(viewer_window "$VIEWER")
  xdotool mousemove --window "$window" 400 400  # focus follows the pointer
  settle "$VIEWER" "$XVFB_PID" "$QUIET_US"  # the start-up frame
  : >"$WORK/times"
  for _ in $(seq "$FRAMES"); do
    now_us
    start=$NOW_US
    xdotool key d
    settle "$VIEWER" "$XVFB_PID" "$QUIET_US"
    echo $((FINISH_US - start)) >>"$WORK/times"
  done
  kill "$VIEWER"
  wait "$VIEWER" 2>/dev/null || true
  VIEWER=
  awk -v p="$program" -v m="$(median <"$WORK/times")" -v n="$FRAMES" \
    'NR == 1 {min = $1; max = $1} {if ($1 < min) min = $1; if ($1 > max) max = $1}
     END {printf "%-9s frame on screen: median %.3f s over %d frames (min %.3f, max %.3f)\n",
          p, m / 1e6, n, min / 1e6, max / 1e6}' "$WORK/times"
done
