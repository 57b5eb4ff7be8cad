#!/usr/bin/env bash
# Builds and runs the benchmarks of bench/ under Wine in a fresh sandbox.
#   scripts/bench.sh [NAME...]   (default: every bench/*.cpp)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null
# A benchmark is bench/NAME.cpp (built into NAME.exe) or bench/NAME.sh (run
# in the sandbox as it is).
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in "$root"/bench/*.cpp "$root"/bench/*.sh; do
    [ -e "$f" ] && names+=("$(basename "${f%.*}")")
  done
fi
[ ${#names[@]} -gt 0 ] || { echo "no benchmarks"; exit 0; }
"$root/scripts/sandbox.sh" "$root/build/x86_64" -- bash -c '
  for n in "$@"; do
    echo "== $n"
    if [ -x "$VX_SOURCE_ROOT/bench/$n.sh" ]; then "$VX_SOURCE_ROOT/bench/$n.sh"
    else "$VX_SOURCE_ROOT/scripts/wine-exec" "$VX_BUILD_ROOT/$n.exe"; fi
  done' _ "${names[@]}"
