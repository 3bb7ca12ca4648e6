#!/usr/bin/env bash
# quadbasin at desktop sizes, on an Xvfb screen of 1920 x 1080; prints
# medians:
# - first rows: in a 1920 x 1080 window, the time from the `d` key's event
#   to the first event that says rows of its frame are on the screen, for a
#   new view each time (`c` at alternate points, then `d`);
# - panning: a 1280 x 720 window dragged with the middle button, the
#   pointer moved 4 pixels 60 times a second for 3 s; the frames drawn
#   while it moves (each exact, at full size: a "glimpse" event) per second,
#   from the button going down to its release.
# Times are taken as the script reads the viewer's event lines from a pipe
# it sleeps on (BASIN_EVENTS), so nothing polls while the viewer draws.
#
#   bench/desktop.sh [BUILD_DIR [RUNS]]     (defaults: build, 9)
set -euo pipefail

BUILD=${1:-build}
RUNS=${2:-9}
HERE=$(dirname "${BASH_SOURCE[0]}")
source "$HERE/../tools/xvfb.sh"
xvfb_require "$BUILD" quadbasin
source "$HERE/median.sh"
xvfb_session 1920x1080
mkfifo "$WORK/events"

# Reads event lines until one starts with $1; LINE is that line and SEEN
# the time it was read (us). Fails after 60 s without one.
LINE= SEEN=0
read_until() {
  while read -r -t 60 -u "$EVENTS" LINE; do
    SEEN=$(xvfb_now_us)
    [[ $LINE == "event $1"* ]] && return 0
  done
  echo "desktop.sh: no '$1' from the viewer" >&2
  return 1
}

# quadbasin in a window of $1 (WIDTHxHEIGHT), at rest after its first frame.
open_viewer() {
  exec {EVENTS}<>"$WORK/events"  # read and write: opening never blocks
  BASIN_EVENTS=3 "$BUILD/quadbasin" -geometry "$1" >/dev/null 3>"$WORK/events" &
  VIEWER=$!
  WINDOW=$(viewer_window "$VIEWER")
  read_until "frame "
  read_until ready
}

close_viewer() {
  kill "$VIEWER"
  wait "$VIEWER" 2>/dev/null || true
  VIEWER=
  exec {EVENTS}<&-
}

open_viewer 1920x1080
: >"$WORK/first"
for run in $(seq "$RUNS"); do
  xdotool mousemove --window "$WINDOW" $((run % 2 ? 1000 : 920)) 540 key c d
  read_until "key 100"
  pressed=$SEEN
  read_until "rows "  # a frame too fast for any would end with "frame"
  [[ $LINE == "event frame "* ]] || read_until "frame "
  echo $((SEEN - pressed)) >>"$WORK/first"
  read_until ready
done
close_viewer
echo "first rows of a 1920x1080 view: median $(median <"$WORK/first") us over $RUNS views"

open_viewer 1280x720
: >"$WORK/rates"
for run in $(seq 3); do
  moves=()
  for step in $(seq 180); do moves+=(mousemove --window "$WINDOW" $((300 + 4 * step)) 360 sleep 0.0167); done
  xdotool mousemove --window "$WINDOW" 300 360 mousedown 2 "${moves[@]}" mouseup 2 &
  drag=$!
  read_until "mouse 1 down"
  down=$SEEN glimpses=0
  while read_until ""; do
    [[ $LINE == "event glimpse "* ]] && glimpses=$((glimpses + 1))
    [[ $LINE == "event mouse 1 up" ]] && break
  done
  wait "$drag"
  awk -v g=$glimpses -v t=$((SEEN - down)) 'BEGIN {printf "%.1f\n", g / (t / 1e6)}' >>"$WORK/rates"
  read_until "frame "
  read_until ready
  xdotool mousemove --window "$WINDOW" 640 360 key r d  # back to the start-up view
  read_until "frame "
  read_until ready
done
close_viewer
echo "panning a 1280x720 window: median $(median <"$WORK/rates") exact frames a second over 3 drags of 3 s"
