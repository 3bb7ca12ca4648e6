#!/usr/bin/env bash
# Installs what is missing, builds the programs (Release, in build/) and
# opens one:
#
#   bash tools/run.sh              # duobasin, the basins of z^2 - 1
#   bash tools/run.sh quadbasin    # the basins of z^4 - 1
#
# Without a display ($DISPLAY empty) the program runs under its own Xvfb
# instead: once the first frame is finished the window is saved as a PNG
# (out/PROGRAM.png, or the path given second), its path is printed, and the
# program is ended with Escape.
set -euo pipefail

program=${1:-duobasin}
case "$program" in
  duobasin | quadbasin) ;;
  *)
    echo "usage: $0 [duobasin|quadbasin] [capture.png]" >&2
    exit 2
    ;;
esac
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target "$program" >/dev/null

if [ -n "${DISPLAY:-}" ]; then
  exec "$root/build/$program"
fi

capture=${2:-$root/out/$program.png}
mkdir -p "$(dirname "$capture")"
work=$(mktemp -d)
xvfb=
viewer=
finish() {
  [ -n "$viewer" ] && kill "$viewer" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

# Xvfb picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1024x1024x24 -nolisten tcp -br 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
  grep -q . "$work/display" 2>/dev/null && break
  sleep 0.05
done
grep -q . "$work/display" || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

"$root/build/$program" &
viewer=$!
window=
for _ in $(seq 200); do
  window=$(xdotool search --onlyvisible --pid "$viewer" --name Basinscope 2>/dev/null | head -n1) || true
  [ -n "$window" ] && break
  sleep 0.05
done
[ -n "$window" ] || { echo "$program opened no window" >&2; exit 1; }
# With no window manager the window sits at (-1, -1); at (0, 0) the whole
# window is on the screen. Moving it exposes it, and it draws again.
xdotool windowmove "$window" 0 0

# The program uses processor time only while it draws: the frame is done
# once its time has stopped growing for half a second.
cpu() { awk '{ print $14 + $15 }' "/proc/$viewer/stat"; }
last=$(cpu)
still=0
for _ in $(seq 600); do
  sleep 0.1
  now=$(cpu)
  if [ "$now" = "$last" ] && [ "$now" -gt 0 ]; then
    still=$((still + 1))
    [ "$still" -ge 5 ] && break
  else
    still=0
    last=$now
  fi
done

xwd -silent -id "$window" | convert xwd:- "png:$capture"
echo "$capture"

xdotool mousemove --window "$window" 400 400 key Escape
wait "$viewer" 2>/dev/null || true
viewer=
