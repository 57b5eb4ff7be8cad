#!/usr/bin/env bash
# Builds the i686 release and the x86_64 build that carries the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
# Release files carry no build time: where a time is needed (the archive's
# entries), it is the time of the last commit.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
cmake -S "$root" -B "$root/build/i686" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DVX_BUILD_TESTS=OFF -DVX_DIST_DIR="$root/build/dist" >/dev/null
cmake --build "$root/build/i686" -j "$jobs"
cmake -S "$root" -B "$root/build/x86_64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-mingw.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/x86_64" -j "$jobs"
