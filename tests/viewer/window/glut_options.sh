#!/usr/bin/env bash
# GLUT's own command-line options reach glutInit: good ones are taken, and a
# malformed one ends the program with GLUT's message and status, never with
# a crash. Usage: glut_options.sh PROGRAM...
set -u
source "$(dirname "${BASH_SOURCE[0]}")/../../../tools/xvfb.sh"
trap xvfb_stop EXIT
xvfb_start || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for program in "$@"; do
  name=$(basename "$program")
  # --help needs no display: it is answered before any window opens.
  out=$(env -u DISPLAY "$program" --help 2>&1)
  status=$?
  [ "$status" -eq 0 ] || fail "$name --help: status $status"
  grep -q "^usage: $name" <<<"$out" && grep -q "Escape  quit" <<<"$out" ||
    fail "$name --help: no usage and key table: $out"
  # A malformed option: GLUT's own message and its error status.
  for args in "-geometry" "-display nosuch:99"; do
    # shellcheck disable=SC2086
    out=$(timeout 10 "$program" $args 2>&1)
    status=$?
    [ "$status" -eq 1 ] || fail "$name $args: status $status, expected 1"
    grep -q freeglut <<<"$out" || fail "$name $args: no message from GLUT: $out"
  done
  # Options GLUT takes: the program keeps running until it is ended.
  # A window larger than the screen is cut down to it, not handed to the driver.
  for args in "-geometry 300x200+10+10" "-geometry 32767x32767" "-iconic" "-sync" "-gldebug" "-unknown-option"; do
    # shellcheck disable=SC2086
    timeout 3 "$program" $args >/dev/null 2>&1
    status=$?
    [ "$status" -eq 124 ] || fail "$name $args: ended with status $status while running"
  done
done
[ "$failures" -eq 0 ] && echo "GLUT options: all passed"
exit "$failures"
