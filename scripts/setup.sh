#!/usr/bin/env bash
# Installs what the build, the sandbox and the asset script need, on Debian 12.
# Returns at once when everything is already there. Works as root or through sudo.
set -euo pipefail

packages=(
  cmake make binutils googletest
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine64 fonts-wine fonts-liberation xvfb xauth x11-utils attr
  imagemagick librsvg2-bin sox python3
  fp-utils python3-chm
  nsis zip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
# Only the 64-bit Wine: 32-bit programs cannot run on these machines, so no i386 architecture.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
