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
# the X server: its event lines (BASIN_EVENTS) come through a pipe that this
# script sleeps on, so nothing polls while the viewer draws. The start
# includes the few milliseconds xdotool takes to deliver the key.
#
# Beside each frame's time it reads the processor time of the viewer's
# threads (/proc/PID/task/*/schedstat, read by the shell itself) and gives
# the median number of cores the viewer kept busy during a frame.
set -euo pipefail

BUILD=${1:-build}
FRAMES=${2:-7}

source "$(dirname "${BASH_SOURCE[0]}")/../tools/xvfb.sh"
xvfb_require "$BUILD" duobasin quadbasin
xvfb_session

source "$(dirname "${BASH_SOURCE[0]}")/median.sh"

# Nanoseconds on a processor, all the viewer's threads together.
cpu_ns() {
  local total=0 task on_cpu _
  for task in /proc/"$VIEWER"/task/*/schedstat; do
    read -r on_cpu _ <"$task" || continue
    total=$((total + on_cpu))
  done
  echo "$total"
}

# Sleeps on the event pipe until the viewer is at rest after `frames`
# frames and `keys` keys in all.
FRAMES_SEEN=0 KEYS_SEEN=0
wait_rest() {
  local frames=$1 keys=$2 line
  while read -r -t 60 -u "$EVENTS" line; do
    case $line in
      "event frame "*) FRAMES_SEEN=$((FRAMES_SEEN + 1)) ;;
      "event key "*) KEYS_SEEN=$((KEYS_SEEN + 1)) ;;
      "event ready") ((FRAMES_SEEN >= frames && KEYS_SEEN >= keys)) && return 0 ;;
    esac
  done
  echo "onscreen.sh: the viewer ended or did not come to rest" >&2
  return 1
}

mkfifo "$WORK/events"
for program in duobasin quadbasin; do
  exec {EVENTS}<>"$WORK/events"  # read and write: opening never blocks
  BASIN_EVENTS=3 "$BUILD/$program" >/dev/null 3>"$WORK/events" &
  VIEWER=$!
  FRAMES_SEEN=0 KEYS_SEEN=0
  window=$(viewer_window "$VIEWER")
  xdotool mousemove --window "$window" 400 400  # focus follows the pointer
  wait_rest 1 0  # the start-up frame
  : >"$WORK/times"
  : >"$WORK/cores"
  for key in $(seq "$FRAMES"); do
    busy=$(cpu_ns)
    start=${EPOCHREALTIME/./}
    xdotool key d
    wait_rest $((key + 1)) "$key"
    end=${EPOCHREALTIME/./}
    busy=$(($(cpu_ns) - busy))
    echo $((10#$end - 10#$start)) >>"$WORK/times"
    awk -v c="$busy" -v w=$((10#$end - 10#$start)) 'BEGIN {printf "%.2f\n", c / (w * 1000)}' >>"$WORK/cores"
  done
  kill "$VIEWER"
  wait "$VIEWER" 2>/dev/null || true
  VIEWER=
  exec {EVENTS}<&-
  awk -v p="$program" -v m="$(median <"$WORK/times")" -v n="$FRAMES" -v c="$(median <"$WORK/cores")" \
    'NR == 1 {min = $1; max = $1} {if ($1 < min) min = $1; if ($1 > max) max = $1}
     END {printf "%-9s frame on screen: median %.3f s over %d frames (min %.3f, max %.3f), %.2f cores busy\n",
          p, m / 1e6, n, min / 1e6, max / 1e6, c}' "$WORK/times"
done
