#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and
# runs every test: the unit tests and the end-to-end tests, which start each
# program under its own Xvfb; then builds the numeric code again under
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the unit tests,
# basinshot's tests and the long random sessions there. Exits non-zero on any
# failure.
#
#   bash tools/test.sh          # builds in build/ and build-sanitize/
#   BASIN_BUILD=dir BASIN_SANITIZE_BUILD=dir2 bash tools/test.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BASIN_BUILD:-$root/build}
sanitize=${BASIN_SANITIZE_BUILD:-$root/build-sanitize}

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DBASIN_WERROR=ON
cmake --build "$build" -j "$(nproc)"
cd "$build"
# The end-to-end tests are marked RUN_SERIAL: they run one at a time.
ctest --output-on-failure -j "$(nproc)"

cmake -S "$root" -B "$sanitize" -DBASIN_WERROR=ON -DBASIN_SANITIZE=ON -DBASIN_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$sanitize" -j "$(nproc)" \
  --target unit_tests replay_tests basinshot basinshot_tests random_sessions
cd "$sanitize"
ctest --output-on-failure -j "$(nproc)" -L 'unit|cli|robust'
