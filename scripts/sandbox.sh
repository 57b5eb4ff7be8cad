#!/usr/bin/env bash
# Runs a command inside a throw-away Wine sandbox, then tears the sandbox down.
#
#   scripts/sandbox.sh BUILD_DIR [--many-drives] [--keep] [--own-display] -- COMMAND [ARGS...]
#
# The sandbox keeps the host safe while the program deletes files, ends
# processes and writes the registry:
#   - a fresh WINEPREFIX under BUILD_DIR/sandbox, made anew on every call;
#   - temporary HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR (Wine maps Desktop,
#     Documents and the recycle bin into them);
#   - no Z: drive (Z: is the Linux root), no winemenubuilder;
#   - test drives mapped to temporary folders, never to block devices:
#     E: F: removable, G: fixed, H: CD-ROM, N: network, and W: the build tree,
#     from which every executable is started;
#   - with --many-drives a second prefix, prefix-many, where every free letter
#     is a removable drive (for capacity tests);
#   - Xvfb on a free display when there is no DISPLAY, or always with
#     --own-display (so that a person's mouse never moves the pointer under
#     a test);
#   - one wineserver per prefix for the whole run, ended afterwards; the main
#     prefix's desktop is held open from start to end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [--many-drives] [--keep] [--own-display] -- COMMAND..." >&2; exit 2; }
build=$(mkdir -p "$1" && cd "$1" && pwd); shift
many=0; keep=${VX_KEEP_SANDBOX:-0}; own_display=0
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case $1 in
    --many-drives) many=1 ;;
    --keep) keep=1 ;;
    --own-display) own_display=1 ;;
    *) echo "sandbox: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
[ "${1:-}" = "--" ] && shift
[ $# -ge 1 ] || { echo "sandbox: no command" >&2; exit 2; }

export VX_SANDBOX=$build/sandbox
export VX_BUILD_ROOT=$build
export VX_BUILD_DRIVE=W
export VX_SOURCE_ROOT=$root

wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x $wine ] || { echo "sandbox: $wine missing; run scripts/setup.sh" >&2; exit 1; }

# A sandbox left by an interrupted run may still have a server; end it first.
for p in "$VX_SANDBOX"/prefix*; do
  [ -d "$p" ] && WINEPREFIX=$p $wineserver -k 2>/dev/null || true
done
rm -rf "$VX_SANDBOX"
mkdir -p "$VX_SANDBOX"/{home,run,drives}
chmod 700 "$VX_SANDBOX/run"

export HOME=$VX_SANDBOX/home
export XDG_DATA_HOME=$HOME/.local/share
export XDG_CONFIG_HOME=$HOME/.config
export XDG_CACHE_HOME=$HOME/.cache
export XDG_RUNTIME_DIR=$VX_SANDBOX/run
mkdir -p "$XDG_DATA_HOME/Trash" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$HOME/Desktop"
export WINELOADER=$wine
export WINESERVER=$wineserver
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX=$VX_SANDBOX/prefix

# Wine keeps the hidden and system attributes in user.* extended attributes.
probe=$VX_SANDBOX/drives/.xattr-probe
: > "$probe"
if ! setfattr -n user.vx_probe -v 1 "$probe" 2>/dev/null; then
  echo "sandbox: the filesystem under $VX_SANDBOX does not accept user.* xattrs;" \
       "hidden and system attributes would not work" >&2
  exit 1
fi
rm -f "$probe"

xvfb_pid=""
prefixes=()
teardown() {
  local rc=$?
  for p in "${prefixes[@]}"; do WINEPREFIX=$p $wineserver -k 2>/dev/null || true; done
  for p in "${prefixes[@]}"; do WINEPREFIX=$p $wineserver -w 2>/dev/null || true; done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  if [ "$keep" != 1 ]; then rm -rf "$VX_SANDBOX"; fi
  exit $rc
}
trap teardown EXIT
trap 'exit 130' INT TERM

[ "$own_display" = 1 ] && unset DISPLAY
export VX_OWN_DISPLAY=0
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 199); do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    if [ -e /tmp/.X11-unix/X$n ]; then export DISPLAY=:$n VX_OWN_DISPLAY=1; break; fi
    kill $xvfb_pid 2>/dev/null || true; xvfb_pid=""
  done
  [ -n "${DISPLAY:-}" ] || { echo "sandbox: could not start Xvfb" >&2; exit 1; }
fi

# make_prefix DIR DRIVE-TYPES...: each DRIVE-TYPE is letter=type (floppy, hd, cdrom, network).
make_prefix() {
  local dir=$1; shift
  prefixes+=("$dir")
  WINEPREFIX=$dir $wine wineboot -i >/dev/null 2>&1
  WINEPREFIX=$dir $wineserver -w
  # Only C: stays of what wineboot mapped: Z: is the Linux root, and the
  # serial and parallel ports lead to host devices.
  find "$dir/dosdevices" -mindepth 1 -maxdepth 1 ! -name c: -exec rm -f {} +
  ln -sfn "$build" "$dir/dosdevices/w:"
  local reg=$VX_SANDBOX/drives.reg
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\r\n'
    local spec letter type target
    for spec in "$@"; do
      letter=${spec%%=*}; type=${spec#*=}
      target=$(dirname "$dir")/drives/$(basename "$dir")/$letter
      mkdir -p "$target"
      ln -sfn "$target" "$dir/dosdevices/$letter:"
      printf '"%s:"="%s"\r\n' "$letter" "$type"
    done
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n'
    # No sound card in the sandbox: no audio driver, so sounds fail quietly.
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n"Audio"=""\r\n'
    # A virtual desktop: Wine then draws the frames and the taskbar with its
    # notification area itself, and hiding a window needs no window manager.
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n"Desktop"="Default"\r\n'
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n"Default"="1280x1000"\r\n'
  } > "$reg"
  WINEPREFIX=$dir $wine regedit /S "$(printf 'W:%s' "${reg#$build}" | tr / '\\')" >/dev/null 2>&1
  # The mount manager reads drive types only when it starts.
  WINEPREFIX=$dir $wineserver -k 2>/dev/null || true
  WINEPREFIX=$dir $wineserver -w
  WINEPREFIX=$dir $wineserver -p
  WINEPREFIX=$dir $wine wineboot >/dev/null 2>&1
}

# hold_desktop DIR: keeps the prefix's desktop up between programs (see
# scripts/desktop-hold.c). Only the main prefix's: two virtual desktops held
# on one display would fight over the pointer.
hold_desktop() {
  local dir=$1
  mkdir -p "$dir/drive_c/sandbox"
  x86_64-w64-mingw32-gcc-posix -O2 -Wall -Werror -mwindows -static \
    -o "$dir/drive_c/sandbox/desktop-hold.exe" "$root/scripts/desktop-hold.c"
  WINEPREFIX=$dir $wine 'C:\sandbox\desktop-hold.exe' >/dev/null 2>&1 &
}

make_prefix "$VX_SANDBOX/prefix" e=floppy f=floppy g=hd h=cdrom n=network
hold_desktop "$VX_SANDBOX/prefix"
if [ "$many" = 1 ]; then
  specs=()
  for l in a b d e f g h i j k l m n o p q r s t u v x y; do specs+=("$l=floppy"); done
  make_prefix "$VX_SANDBOX/prefix-many" "${specs[@]}"
fi

# The drives' folders, for scripts that prepare fixtures from the Linux side.
export VX_DRIVES=$VX_SANDBOX/drives/prefix

set +e
"$@"
status=$?
set -e
exit $status
