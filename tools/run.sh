#!/usr/bin/env bash
# Installs what is missing, builds the programs (Release, in build/) and
# opens one:
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
cmake --build "$root/build" -j "$(nproc)" --target "$program" >/dev/null

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
"$root/build/$program" >/dev/null &
viewer=$!
window=$(viewer_window "$viewer")
rest_time "$viewer" "$XVFB_PID" 500000 >/dev/null
xwd -silent -id "$window" | convert xwd:- "png:$capture"
echo "$capture"

xdotool mousemove --window "$window" 400 400 key Escape
wait "$viewer" 2>/dev/null || true
viewer=
