#!/usr/bin/env bash
# Packs the portable archive: the program and, when it has been built, its
# help file, in a folder "Vantorix" of the archive.
#   installer/portable-zip.sh OUT.zip PROGRAM_DIR
#
# Reproducible: every entry carries the time of the last commit (or
# SOURCE_DATE_EPOCH), fixed permissions and no extra fields, and the entries
# come in a fixed order.
set -euo pipefail
out=$1 program_dir=$2
root=$(cd "$(dirname "$0")/.." && pwd)
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || true)}
# A zip holds no time before 1980.
[ -n "$epoch" ] && [ "$epoch" -ge 315532800 ] || epoch=315532800
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/Vantorix"
files=(Vantorix/Vantorix.exe)
cp "$program_dir/Vantorix.exe" "$stage/Vantorix/"
if [ -f "$program_dir/Vantorix.chm" ]; then
  cp "$program_dir/Vantorix.chm" "$stage/Vantorix/"
  files+=(Vantorix/Vantorix.chm)
fi
chmod 644 "$stage"/Vantorix/*
touch -d "@$epoch" "$stage"/Vantorix/*
rm -f "$out"
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
# zip writes local times: UTC, so that the zone of the build machine does not matter.
(cd "$stage" && TZ=UTC zip -q -X -D -9 "$out" "${files[@]}")
