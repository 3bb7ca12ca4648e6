#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and
# runs every test (benchmarks built too): the unit tests, basinshot's, the long sessions, the
# install, and the tests that start each viewer under its own Xvfb on a free
# display (label xserver, one at a time); then builds the numeric code again under
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the unit tests,
# basinshot's tests and the long random sessions there; then the threaded
# tests under ThreadSanitizer; last builds without
# the viewers, as on a machine with no OpenGL, and checks that basinshot
# needs no GL library. Exits non-zero on any failure.
#
#   bash tools/test.sh          # builds in build/, build-sanitize/, build-tsan/ and build-headless/
#   BASIN_BUILD=dir BASIN_SANITIZE_BUILD=dir2 BASIN_TSAN_BUILD=dir3 \
#     BASIN_HEADLESS_BUILD=dir4 bash tools/test.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BASIN_BUILD:-$root/build}
sanitize=${BASIN_SANITIZE_BUILD:-$root/build-sanitize}
threads=${BASIN_TSAN_BUILD:-$root/build-tsan}
headless=${BASIN_HEADLESS_BUILD:-$root/build-headless}

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DBASIN_WERROR=ON -DBASIN_BENCH=ON
cmake --build "$build" -j "$(nproc)"
cd "$build"
# The tests that need an X server are marked RUN_SERIAL: one at a time.
ctest --output-on-failure -j "$(nproc)"

cmake -S "$root" -B "$sanitize" -DBASIN_WERROR=ON -DBASIN_ASAN=ON -DBASIN_UBSAN=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$sanitize" -j "$(nproc)" \
  --target unit_tests basinshot basinshot_tests docs_tests random_sessions
cd "$sanitize"
ctest --output-on-failure -j "$(nproc)" -L 'unit|cli|robust'

# The threaded tests under ThreadSanitizer: the row solver's hand-over and
# its early exit, and whole frames on several threads.
cmake -S "$root" -B "$threads" -DBASIN_WERROR=ON -DBASIN_TSAN=ON -DBASIN_VIEWER=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$threads" -j "$(nproc)" --target unit_tests
cd "$threads"
ctest --output-on-failure -j "$(nproc)" -L unit -R 'RowSolver|Threads|SeveralThreads'

# Without the viewers: configuring must not look for OpenGL or GLUT (a
# disabled package that is still searched for fails the configure step),
# and basinshot must need no GL or X library.
cmake -S "$root" -B "$headless" -DBASIN_WERROR=ON -DBASIN_VIEWER=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON
cmake --build "$headless" -j "$(nproc)"
if readelf -d "$headless/basinshot" | grep -E 'NEEDED.*(libGL|libglut|libX)'; then
  echo "the headless basinshot needs the display libraries above" >&2
  exit 1
fi
cd "$headless"
ctest --output-on-failure -j "$(nproc)" -L 'unit|install'
