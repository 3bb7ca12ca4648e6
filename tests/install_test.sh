#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what lands there: each
# program in bin/ and its manual page in share/man/man1/, which man renders
# without a warning, each viewer's desktop entry in share/applications/, and
# nothing else. desktop-file-validate must pass every entry in the source
# tree, installed or not yet, without a single remark. The roots module, if
# the build has one, lands at MODULE, and the installed basinshot finds it
# there.
# Usage: install_test.sh BUILD SOURCE "PROGRAMS" "VIEWERS" [MODULE]
set -u
build=$1 source=$2 programs=$3 viewers=$4 module=${5:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix warnings=$scratch/warnings
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"

expected=()
for program in $programs; do
  expected+=("bin/$program" "share/man/man1/$program.1")
  [ -x "$prefix/bin/$program" ] || fail "bin/$program: missing or not executable"
  page=$prefix/share/man/man1/$program.1
  # Both the plain and the UTF-8 rendering: they map characters differently.
  for locale in C C.UTF-8; do
    rendered=$(LC_ALL=$locale MANWIDTH=80 man --warnings -l "$page" 2>"$warnings")
    [ -s "$warnings" ] && fail "$program.1 ($locale): $(cat "$warnings")"
    grep -q "^NAME" <<<"$rendered" || fail "$program.1 ($locale): no NAME section rendered"
  done
done
for viewer in $viewers; do
  expected+=("share/applications/$viewer.desktop")
  cmp -s "$source/docs/desktop/$viewer.desktop" "$prefix/share/applications/$viewer.desktop" ||
    fail "share/applications/$viewer.desktop: missing or not the entry in docs/desktop"
done
for entry in "$source"/docs/desktop/*.desktop; do
  remarks=$(desktop-file-validate "$entry" 2>&1) || fail "$entry: rejected"
  [ -z "$remarks" ] || fail "$remarks"
done

if [ -n "$module" ]; then
  expected+=("$module")
  roots=$("$prefix/bin/basinshot" "z^2 - 1" --roots 2>&1)
  [ "$roots" = $'-1+0i multiplicity 1 colour 0 #ff0000\n1+0i multiplicity 1 colour 1 #00ff00' ] ||
    fail "the installed basinshot did not find the roots module: $roots"
  # The module reads what a plain sum is not, and only it needs GMP: no
  # program links the exact arithmetic itself.
  written=$("$prefix/bin/basinshot" "(z-1)^2 (z-i)" --roots 2>&1)
  [ "$written" = $'0+1i multiplicity 1 colour 0 #ff0000\n1+0i multiplicity 2 colour 1 #00ff00' ] ||
    fail "the installed basinshot did not read a factored polynomial: $written"
  for program in $programs; do
    needed=$(readelf -d "$prefix/bin/$program" | grep NEEDED)
    ! grep -Eq 'lib(gmp|mpfr|flint)' <<<"$needed" ||
      fail "bin/$program links the exact arithmetic itself: $needed"
  done
fi

installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$installed" = "$wanted" ] || fail "installed files differ:"$'\n'"$(diff <(echo "$wanted") <(echo "$installed"))"

[ "$failures" -eq 0 ] && echo "installed and checked: $programs"
exit $((failures > 0))
