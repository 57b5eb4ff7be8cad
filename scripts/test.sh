#!/usr/bin/env bash
# Sets up the machine, builds both architectures and runs every test under
# Wine in a fresh sandbox.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
# Its own Xvfb even when a display is set: a person's mouse must not move
# the pointer under a hover test.
restarts=$root/build/x86_64/wine-exec-restarts.log
rm -f "$restarts"
status=0
VX_REQUIRE_OWN_DISPLAY=1 "$root/scripts/sandbox.sh" "$root/build/x86_64" --many-drives --own-display -- \
  ctest --test-dir "$root/build/x86_64" --output-on-failure "$@" || status=$?
if [ -s "$restarts" ]; then
  echo "scripts/wine-exec started these again after Wine failed to start them:"
  sed 's/^/  /' "$restarts"
fi
exit $status
