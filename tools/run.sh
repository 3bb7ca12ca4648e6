#!/usr/bin/env bash
# Installs what is missing, builds all the programs (Release, in build/:
# duobasin, quadbasin, polybasin and basinshot) and opens one viewer:
#
#   bash tools/run.sh              # duobasin, the basins of z^2 - 1
#   bash tools/run.sh quadbasin    # the basins of z^4 - 1
#
# Without a display ($DISPLAY empty) the program runs under its own Xvfb on
# a free display instead: once the first frame is finished the window is saved as a PNG
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
cmake --build "$root/build" -j "$(nproc)" >/dev/null

if [ -n "${DISPLAY:-}" ]; then
  exec "$root/build/$program"
fi

capture=${2:-$root/out/$program.png}
mkdir -p "$(dirname "$capture")"
source "$root/tools/xvfb.sh"
viewer=
finish() {
  [[ -n $viewer ]] && kill "$viewer" 2>/dev/null
  xvfb_stop
}
trap finish EXIT

xvfb_start
BASIN_EVENTS=3 "$root/build/$program" >/dev/null 3>"$XVFB_WORK/events" &
viewer=$!
window=$(viewer_window "$viewer")
rest_time "$XVFB_WORK/events" 1 0 "$viewer" >/dev/null
xwd -silent -id "$window" | convert xwd:- "png:$capture"
echo "$capture"

xdotool mousemove --window "$window" 400 400 key Escape
wait "$viewer" 2>/dev/null || true
viewer=
