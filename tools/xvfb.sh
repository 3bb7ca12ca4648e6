# A viewer under its own Xvfb: the one way the project starts an X server
# and finds a viewer's window, for the shell scripts that source it
# (tools/run.sh, bench/onscreen.sh, tests/viewer/window/command_line.sh)
# and for the C++ tests, which run it as a command
# (tests/support/xvfb_program.h).
#
#   source tools/xvfb.sh
#   xvfb_start [WIDTHxHEIGHT]       # exports DISPLAY; xvfb_stop ends the server
#   xvfb_session [WIDTHxHEIGHT]     # xvfb_start with a scratch folder WORK; at
#                                   # exit ends $VIEWER, the server and WORK
#   window=$(viewer_window "$pid")  # the viewer's window, moved to (0, 0)
#   BASIN_EVENTS=3 viewer 3>"$log" &  # its event lines, for rest_time
#   rest_time "$log" 1 0 "$pid"     # waits for the first frame; prints when
#
#   bash tools/xvfb.sh serve WIDTHxHEIGHT FD   # becomes Xvfb; its display number goes to FD
#   bash tools/xvfb.sh window PID              # viewer_window, on $DISPLAY
#
# The screen is 1024 x 1024 unless a size is given. Each function returns
# non-zero, with a line on stderr, when it fails.

XVFB_PID=
XVFB_WORK=

# Xvfb on a display it picks itself, so that runs side by side never meet,
# its number written to descriptor $2, the screen $1 pixels (WIDTHxHEIGHT).
xvfb_exec() {
  exec Xvfb -displayfd "$2" -screen 0 "${1}x24" -nolisten tcp -br -noreset
}

xvfb_start() {
  local screen=${1:-1024x1024}
  XVFB_WORK=$(mktemp -d)
  (xvfb_exec "$screen" 3) 3>"$XVFB_WORK/display" 2>"$XVFB_WORK/xvfb.log" &
  XVFB_PID=$!
  local _
  for _ in $(seq 200); do
    [[ -s $XVFB_WORK/display ]] && break
    sleep 0.05
  done
  if [[ ! -s $XVFB_WORK/display ]]; then
    cat "$XVFB_WORK/xvfb.log" >&2
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$XVFB_WORK/display")"
}

xvfb_stop() {
  if [[ -n $XVFB_PID ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  [[ -n $XVFB_WORK ]] && rm -rf "$XVFB_WORK"
  XVFB_PID= XVFB_WORK=
}

# Exits with status 2 and a line on stderr unless Xvfb and xdotool are
# installed and each of the programs $2... is built in the folder $1.
xvfb_require() {
  local build=$1 tool program me
  me=$(basename "$0")
  shift
  for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "$me: $tool is not installed" >&2; exit 2; }
  done
  for program in "$@"; do
    [[ -x $build/$program ]] || { echo "$me: no $build/$program; build first" >&2; exit 2; }
  done
}

# A script's whole stay on its own server: WORK is a scratch folder, and a
# viewer started with its process id in VIEWER is ended with the server when
# the script exits, however it exits.
xvfb_session() {
  WORK=$(mktemp -d)
  VIEWER=
  trap xvfb_session_end EXIT
  xvfb_start "$@"
}

xvfb_session_end() {
  [[ -n $VIEWER ]] && kill "$VIEWER" 2>/dev/null && wait "$VIEWER" 2>/dev/null
  xvfb_stop
  rm -rf "$WORK"
}

# The window of the viewer with process id $1, once it is visible. With no
# window manager it sits at (-1, -1); at (0, 0) it is whole on the screen,
# and moving it exposes it, so it draws again. Printed once it is there.
viewer_window() {
  local window= _
  for _ in $(seq 400); do
    window=$(xdotool search --onlyvisible --pid "$1" --name Basinscope 2>/dev/null | head -n1) || true
    [[ -n $window ]] && break
    sleep 0.05
  done
  [[ -n $window ]] || { echo "process $1 opened no window" >&2; return 1; }
  xdotool windowmove "$window" 0 0
  for _ in $(seq 400); do
    [[ $(xdotool getwindowgeometry "$window") == *"Position: 0,0"* ]] && break
    sleep 0.02
  done
  [[ $(xdotool getwindowgeometry "$window") == *"Position: 0,0"* ]] ||
    { echo "the window of process $1 did not move to (0, 0)" >&2; return 1; }
  echo "$window"
}

# A sleep that forks nothing, so that polling stays light.
exec {XVFB_PAUSE}<> <(:)
xvfb_pause() { read -r -t "$1" -u "$XVFB_PAUSE" || true; }

xvfb_now_us() {
  local t=${EPOCHREALTIME/./}
  echo "$((10#$t))"
}

# Waits until the viewer that writes its event lines (BASIN_EVENTS) to the
# file $1 has taken in at least $3 keys (0 by default), finished at least $2
# frames (1: the start-up frame) and has nothing left to do, then prints the
# time (us) at which that was seen. $4, if given, is the viewer's process
# id: the wait fails if it ends, or after XVFB_WAIT seconds (60).
rest_time() {
  local log=$1 frames=${2:-1} keys=${3:-0} pid=${4:-} line last seen_frames seen_keys
  local -a lines
  local deadline=$((SECONDS + ${XVFB_WAIT:-60}))
  while :; do
    mapfile -t lines <"$log"
    seen_frames=0 seen_keys=0 last=
    for line in "${lines[@]}"; do
      case $line in
        "event frame "*) seen_frames=$((seen_frames + 1)) last=$line ;;
        "event key "*) seen_keys=$((seen_keys + 1)) last=$line ;;
        "event "*) last=$line ;;
      esac
    done
    if ((seen_frames >= frames && seen_keys >= keys)) && [[ $last == "event ready" ]]; then
      xvfb_now_us
      return
    fi
    if [[ -n $pid && ! -d /proc/$pid ]] || ((SECONDS > deadline)); then
      echo "the viewer ended or did not come to rest: $last" >&2
      return 1
    fi
    xvfb_pause 0.002
  done
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  case ${1:-} in
    serve) xvfb_exec "$2" "$3" ;;
    window) viewer_window "$2" ;;
    *)
      echo "usage: $0 serve WIDTHxHEIGHT FD | window PID" >&2
      exit 2
      ;;
  esac
fi
