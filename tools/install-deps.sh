#!/usr/bin/env bash
# Installs the Debian packages this project needs to build, test and run,
# only those not installed yet: the compiler, CMake and clang-format, freeglut and GL,
# GoogleTest, Google Benchmark, libpng, zlib, libdeflate and CLI11, GMP, MPFR,
# FLINT and Arb, and
# for the programs without a display Xvfb, xdotool, xwd (x11-apps), ImageMagick
# and valgrind; man and groff to check the manual pages, desktop-file-utils the
# desktop entries.
set -euo pipefail

packages=(g++ cmake make clang-format freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgtest-dev
  libbenchmark-dev libpng-dev zlib1g-dev libdeflate-dev libcli11-dev libgmp-dev libmpfr-dev libflint-arb-dev xvfb
  xdotool x11-apps imagemagick valgrind man-db groff-base desktop-file-utils)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}" >&2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}"
