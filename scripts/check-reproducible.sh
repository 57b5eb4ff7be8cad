#!/usr/bin/env bash
# Builds the release twice from the same sources, each time in fresh
# folders of different names, and compares the results byte for byte:
# Vantorix.exe, the setup program and the portable archive.
# Only the program and its packages are built (no tests), two jobs at a time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
work=$(mktemp -d "${TMPDIR:-/tmp}/vx-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

build_once() {  # FOLDER [HELP_FILE]
  local dir=$work/$1
  mkdir -p "$dir/src"
  tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$dir/src" -xf -
  cmake -S "$dir/src" -B "$dir/build" -DCMAKE_TOOLCHAIN_FILE="$dir/src/cmake/toolchain-i686-mingw.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DVX_BUILD_TESTS=OFF -DVX_DIST_DIR="$dir/dist" >/dev/null
  # chmcmd writes the time and varying bytes into every help file it makes,
  # so the packages are compared around one and the same help file.
  [ -n "${2:-}" ] && cp "$2" "$dir/build/Vantorix.chm"
  cmake --build "$dir/build" -j 2 --target Vantorix dist >/dev/null
}

build_once first
build_once second-with-a-longer-name "$work/first/build/Vantorix.chm"
echo "note: the help file is compiled once; chmcmd's output differs from run to run"
status=0
for f in build/Vantorix.exe "dist/$(cd "$work/first/dist" && ls *-setup.exe)" "dist/$(cd "$work/first/dist" && ls *-portable.zip)"; do
  if cmp -s "$work/first/$f" "$work/second-with-a-longer-name/$f"; then
    echo "same bytes: $(basename "$f") ($(stat -c %s "$work/first/$f") bytes)"
  else
    echo "error: two builds of the same sources give different $(basename "$f")" >&2
    cmp "$work/first/$f" "$work/second-with-a-longer-name/$f" | head -5 >&2 || true
    status=1
  fi
done
exit $status
