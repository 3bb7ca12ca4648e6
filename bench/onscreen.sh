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
# times summed over all threads, read every 2 ms; the frame is over after
# 300 ms without any). The start includes the few milliseconds xdotool
# takes to deliver the key.
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

WORK=$(mktemp -d)
XVFB=
VIEWER=
cleanup() {
  [[ -n $VIEWER ]] && kill "$VIEWER" 2>/dev/null && wait "$VIEWER" 2>/dev/null
  [[ -n $XVFB ]] && kill "$XVFB" 2>/dev/null && wait "$XVFB" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x1024x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
XVFB=$!
for _ in $(seq 100); do [[ -s $WORK/display ]] && break; sleep 0.05; done
[[ -s $WORK/display ]] || { echo "onscreen.sh: Xvfb did not start" >&2; exit 2; }
export DISPLAY=":$(head -n1 "$WORK/display")"

# A sleep that forks nothing, so the polling itself stays light.
exec {PAUSE}<> <(:)
pause() { read -r -t "$1" -u "$PAUSE" || true; }

now_us() { local t=${EPOCHREALTIME/./}; echo "$((10#$t))"; }

# Run time in ns of every thread of the given processes.
runtime_ns() {
  local total=0 pid task ns _
  for pid in "$@"; do
    for task in /proc/"$pid"/task/*/schedstat; do
      read -r ns _ <"$task" 2>/dev/null || continue
      total=$((total + ns))
    done
  done
  echo "$total"
}

# Waits until the viewer stops using the processor; prints the time (us) at
# which the picture was finished: the viewer's last use, or the X server's
# last use while it was still taking in the viewer's drawing (up to 50 ms
# after the viewer's). The server also wakes now and then on its own for a
# fraction of a millisecond; those later wake-ups are not part of the frame.
settle() {
  local viewer=$1 server=$2 now ns sns
  local last_ns last_sns last_change finish
  last_ns=$(runtime_ns "$viewer")
  last_sns=$(runtime_ns "$server")
  last_change=$(now_us)
  finish=$last_change
  while :; do
    pause 0.002
    now=$(now_us)
    ns=$(runtime_ns "$viewer")
    sns=$(runtime_ns "$server")
    if ((ns != last_ns)); then
      last_ns=$ns
      last_change=$now
      finish=$now
    elif ((now - last_change >= QUIET_US)); then
      echo "$finish"
      return
    fi
    if ((sns != last_sns)); then
      last_sns=$sns
      ((now - last_change <= 50000)) && finish=$now
    fi
  done
}

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

for program in duobasin quadbasin; do
  "$BUILD/$program" &
  VIEWER=$!
  window=$(xdotool search --sync --name Basinscope | head -n1)
  xdotool windowmove "$window" 0 0
  xdotool mousemove --window "$window" 400 400  # focus follows the pointer
  settle "$VIEWER" "$XVFB" >/dev/null          # the start-up frame
  : >"$WORK/times"
  for _ in $(seq "$FRAMES"); do
    start=$(now_us)
    xdotool key d
    end=$(settle "$VIEWER" "$XVFB")
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
