#!/usr/bin/env bash
# Each vector kernel object, compiled for its own instruction set, must
# define no external symbol but its own entry point: an inline function it
# emitted (a template, a library helper) could otherwise be the copy the
# linker keeps for baseline code, which would then run AVX on any CPU.
#
#   kernel_exports.sh SET OBJECT [SET OBJECT ...]
set -euo pipefail
status=0
while (($# >= 2)); do
  set_name=$1 object=$2
  shift 2
  # DW.ref.* are the unwinder's data references (the sanitizer builds emit
  # them), no code.
  symbols=$(nm -C --defined-only --extern-only "$object" | cut -d' ' -f3- | grep -v '^DW\.ref\.' || true)
  extra=$(grep -v -F "basin::lanes_${set_name}::solveRows(" <<<"$symbols" || true)
  if [[ -n $extra ]]; then
    echo "the $set_name kernel also exports:" >&2
    echo "$extra" >&2
    status=1
  fi
  grep -q -F "basin::lanes_${set_name}::solveRows(" <<<"$symbols" ||
    { echo "the $set_name kernel lacks its entry point" >&2; status=1; }
done
exit $status
