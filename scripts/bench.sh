#!/usr/bin/env bash
# Builds and runs the benchmarks of bench/ under Wine in a fresh sandbox.
#   scripts/bench.sh [NAME...]   (default: every bench/*.cpp)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in "$root"/bench/*.cpp; do [ -e "$f" ] && names+=("$(basename "$f" .cpp)"); done
fi
[ ${#names[@]} -gt 0 ] || { echo "no benchmarks"; exit 0; }
"$root/scripts/sandbox.sh" "$root/build/x86_64" -- bash -c '
  for n in "$@"; do echo "== $n"; "$VX_SOURCE_ROOT/scripts/wine-exec" "$VX_BUILD_ROOT/$n.exe"; done' _ "${names[@]}"
