#!/usr/bin/env bash
# Times the viewer's frame on screen under Xvfb, from the `d` key to the
# finished picture, and prints the median over several frames.
#
#   bench/onscreen.sh [BUILD_DIR [FRAMES]]     (defaults: build, 7)
#
# Needs Xvfb and xdotool. Each program is started in its own 800 x 800
# window; once its start-up frame is done, `d` is pressed FRAMES times, each
# time after the previous frame has finished. A frame counts from just
# before the key is sent until the viewer reports it finished and handed to
# the X server (its event lines, BASIN_EVENTS, read every 2 ms). The start
# includes the few milliseconds xdotool takes to deliver the key.
set -euo pipefail

BUILD=${1:-build}
FRAMES=${2:-7}

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

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

for program in duobasin quadbasin; do
  BASIN_EVENTS=3 "$BUILD/$program" >/dev/null 3>"$WORK/events" &
  VIEWER=$!
  window=$(viewer_window "$VIEWER")
  xdotool mousemove --window "$window" 400 400  # focus follows the pointer
  rest_time "$WORK/events" 1 0 "$VIEWER" >/dev/null  # the start-up frame
  : >"$WORK/times"
  for key in $(seq "$FRAMES"); do
    start=$(xvfb_now_us)
    xdotool key d
    end=$(rest_time "$WORK/events" 1 "$key" "$VIEWER")
    echo $((end - start)) >>"$WORK/times"
  done
  kill "$VIEWER"
  wait "$VIEWER" 2>/dev/null || true
  VIEWER=
  awk -v p="$program" -v m="$(median <"$WORK/times")" -v n="$FRAMES" \
    'NR == 1 {min = $1; max = $1} {if ($1 < min) min = $1; if ($1 > max) max = $1}
     END {printf "%-9s frame on screen: median %.3f s over %d frames (min %.3f, max %.3f)\n",
          p, m / 1e6, n, min / 1e6, max / 1e6}' "$WORK/times"
done
