#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and
# runs every test: the unit tests and the end-to-end tests, which start each
# program under its own Xvfb. Exits non-zero on any failure.
#
#   bash tools/test.sh          # builds in build/
#   BASIN_BUILD=dir bash tools/test.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BASIN_BUILD:-$root/build}

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DBASIN_WERROR=ON
cmake --build "$build" -j "$(nproc)"
cd "$build"
# The end-to-end tests are marked RUN_SERIAL: they run one at a time.
ctest --output-on-failure -j "$(nproc)"
