#!/usr/bin/env bash
# Sets up the machine, builds both architectures and runs every test under
# Wine in a fresh sandbox.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
"$root/scripts/sandbox.sh" "$root/build/x86_64" --many-drives -- \
  ctest --test-dir "$root/build/x86_64" --output-on-failure "$@"
