#!/usr/bin/env bash
# The viewers' command line and standard descriptors: --help and --version,
# GLUT's own options taken or reported by GLUT, any other argument refused,
# and a viewer that keeps working with its descriptors closed or its reader
# gone. Usage: command_line.sh PROGRAM...
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../../../tools/xvfb.sh"
WORK=$(mktemp -d)
pids=()
finish() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  xvfb_stop
  rm -rf "$WORK"
}
trap finish EXIT
xvfb_start || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Waits up to 5 s for process $1, a child of this shell, to end; its
# status, or 124 if it is still running.
ended() {
  local _
  for _ in $(seq 500); do
    [[ -d /proc/$1 ]] || { wait "$1"; return; }
    xvfb_pause 0.01
  done
  return 124
}

# Starts "$@" with its event lines in $WORK/events and waits for its first
# frame; sets $pid. Standard streams as the caller redirects them.
start() {
  : >"$WORK/events"
  BASIN_EVENTS=3 "$@" 3>"$WORK/events" &
  pid=$!
  pids+=("$pid")
  rest_time "$WORK/events" 1 0 "$pid" >/dev/null
}

# Escape must end the viewer $pid with status 0; a failure labelled $1 if not.
escape_ends() {
  local status
  xdotool key Escape
  ended "$pid"
  status=$?
  [ "$status" -eq 0 ] || fail "$1: status $status after Escape"
}

# The size of the window of process $1: WIDTHxHEIGHT.
window_size() {
  local window
  window=$(xdotool search --pid "$1" --name Basinscope | head -n1)
  xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p'
}

for program in "$@"; do
  name=$(basename "$program")
  # --help and --version need no display: they are answered before any
  # window opens.
  out=$(env -u DISPLAY "$program" --help 2>&1)
  status=$?
  [ "$status" -eq 0 ] || fail "$name --help: status $status"
  grep -q "^usage: $name" <<<"$out" && grep -q "Escape  quit" <<<"$out" ||
    fail "$name --help: no usage and key table: $out"
  out=$(env -u DISPLAY "$program" -geometry 10x10 --version 2>&1)
  [[ $? -eq 0 && $out =~ ^$name\ [0-9]+\.[0-9]+ ]] || fail "$name --version: $out"
  # Arguments neither GLUT nor the viewer knows: refused before any window.
  for case in "foo=unexpected argument 'foo'" "-unknown-option=unknown option '-unknown-option'" \
    "-geometry 10x10 -z=unexpected argument '-z'"; do
    # shellcheck disable=SC2086
    out=$(env -u DISPLAY "$program" ${case%%=*} 2>&1)
    status=$?
    [ "$status" -eq 2 ] || fail "$name ${case%%=*}: status $status, expected 2"
    grep -qF "$name: ${case#*=} (see $name --help)" <<<"$out" || fail "$name ${case%%=*}: $out"
  done
  # A --window that cannot be drawn or is cut short: refused, naming why.
  for case in "--window 1 0 0 1=XMIN must be below XMAX" "--window 0 1 0 x=x': not a number" \
    "--window 0 1 0=needs 4 values (XMIN XMAX YMIN YMAX)"; do
    # shellcheck disable=SC2086
    out=$(env -u DISPLAY "$program" ${case%=*} 2>&1)
    [[ $? -eq 2 && $out == *"${case##*=}"* ]] || fail "$name ${case%=*}: $out"
  done
  # A GLUT option without its value, or a display that is not there:
  # GLUT's own message and its error status.
  for args in "-geometry" "-display nosuch:99"; do
    # shellcheck disable=SC2086
    out=$(timeout 10 "$program" $args 2>&1)
    status=$?
    [ "$status" -eq 1 ] || fail "$name $args: status $status, expected 1"
    grep -q freeglut <<<"$out" || fail "$name $args: no message from GLUT: $out"
  done
  # Options GLUT takes, and the window each gives: a size larger than the
  # screen is the screen's; a position alone, or a value X cannot read, keeps
  # the viewer's own 800 x 800.
  for case in "-geometry 300x200+10+10=300x200" "-geometry 32767x32767=1024x1024" \
    "-geometry +100+100=800x800" "-geometry abc=800x800" "-iconic=" "-sync=" "-gldebug="; do
    args=${case%=*} size=${case##*=}
    # shellcheck disable=SC2086
    if ! start "$program" $args >/dev/null 2>&1; then
      fail "$name $args: no frame drawn"
      continue
    fi
    [[ -z $size || $(window_size "$pid") == "$size" ]] ||
      fail "$name $args: window $(window_size "$pid"), expected $size"
    kill "$pid"
    wait "$pid" 2>/dev/null
  done

  # Started with standard input, output and error closed: the view line
  # goes nowhere, not into the X connection, and Escape still ends it.
  start "$program" <&- >&- 2>&-
  window=$(viewer_window "$pid")
  xdotool mousemove --window "$window" 400 400 key z d
  rest_time "$WORK/events" 2 2 "$pid" >/dev/null || fail "$name with closed descriptors: no z d"
  escape_ends "$name with closed descriptors"

  # A reader that goes after the first view line: the next d draws and the
  # viewer lives on.
  mkfifo "$WORK/views"
  head -n1 <"$WORK/views" >"$WORK/first" &
  reader=$!
  start "$program" >"$WORK/views"
  window=$(viewer_window "$pid")
  xdotool mousemove --window "$window" 400 400 key z d
  ended "$reader"
  grep -q "^basinshot $name --window" "$WORK/first" || fail "$name | head -n1: $(cat "$WORK/first")"
  xdotool key c d
  rest_time "$WORK/events" 3 4 "$pid" >/dev/null || fail "$name | head -n1: killed by the second d"
  escape_ends "$name | head -n1"
  rm "$WORK/views"
done
[ "$failures" -eq 0 ] && echo "command line: all passed"
exit "$failures"
