# A viewer under its own Xvfb, for the shell scripts that need one
# (tools/run.sh, bench/onscreen.sh, tests/viewer/window/glut_options.sh);
# the C++ tests have the same in tests/support/xvfb_program.h. Source it:
#
#   source tools/xvfb.sh
#   xvfb_start                      # exports DISPLAY; xvfb_stop ends the server
#   window=$(viewer_window "$pid")  # the viewer's window, moved to (0, 0)
#   rest_time "$pid" "$XVFB_PID"    # waits for the frame; prints when it was done
#
# Each function returns non-zero, with a line on stderr, when it fails.

XVFB_PID=
XVFB_WORK=

# Starts Xvfb on a display it picks itself, so that runs side by side never
# meet, with a 1024 x 1024 screen.
xvfb_start() {
  XVFB_WORK=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 1024x1024x24 -nolisten tcp -br -noreset \
    3>"$XVFB_WORK/display" 2>"$XVFB_WORK/xvfb.log" &
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

# The window of the viewer with process id $1, once it is visible. With no
# window manager it sits at (-1, -1); at (0, 0) it is whole on the screen,
# and moving it exposes it, so it draws again.
viewer_window() {
  local window= _
  for _ in $(seq 200); do
    window=$(xdotool search --onlyvisible --pid "$1" --name Basinscope 2>/dev/null | head -n1) || true
    [[ -n $window ]] && break
    sleep 0.05
  done
  [[ -n $window ]] || { echo "process $1 opened no window" >&2; return 1; }
  xdotool windowmove "$window" 0 0
  echo "$window"
}

# A sleep that forks nothing, so that polling stays light.
exec {XVFB_PAUSE}<> <(:)
xvfb_pause() { read -r -t "$1" -u "$XVFB_PAUSE" || true; }

xvfb_now_us() {
  local t=${EPOCHREALTIME/./}
  echo "$((10#$t))"
}

# Run time in ns of every thread of the processes given.
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

# Waits until process $1 has used no processor time for $3 us (300 000 by
# default) and prints the time (us) at which its picture was done: its last
# use, or the X server's ($2, if given) while it was still taking in the
# drawing, up to 50 ms after. The server also wakes now and then on its own
# for a fraction of a millisecond; those later wake-ups are not counted.
rest_time() {
  local viewer=$1 server=${2:-} quiet=${3:-300000} now ns sns
  local last_ns last_sns=0 last_change finish
  last_ns=$(runtime_ns "$viewer")
  [[ -n $server ]] && last_sns=$(runtime_ns "$server")
  last_change=$(xvfb_now_us)
  finish=$last_change
  while :; do
    xvfb_pause 0.002
    now=$(xvfb_now_us)
    ns=$(runtime_ns "$viewer")
    if ((ns != last_ns)); then
      last_ns=$ns
      last_change=$now
      finish=$now
    elif ((now - last_change >= quiet)); then
      echo "$finish"
      return
    fi
    [[ -d /proc/$viewer ]] || { echo "process $viewer ended" >&2; return 1; }
    [[ -n $server ]] || continue
    sns=$(runtime_ns "$server")
    if ((sns != last_sns)); then
      last_sns=$sns
      ((now - last_change <= 50000)) && finish=$now
    fi
  done
}
