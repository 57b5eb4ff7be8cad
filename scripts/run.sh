#!/usr/bin/env bash
# Sets up the machine, builds, and runs Vantorix in a fresh sandbox.
# Drive E: is a removable drive holding harmless sample threats (an
# AUTORUN.INF and a hidden .exe in its root) for the shield to find.
# With a display the program runs there until you quit it. Without one it
# runs on a virtual display, and a screenshot of the restored main window is
# saved; the command prints its path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
had_display=${DISPLAY:-}
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null
mkdir -p "$root/build/screenshots"
VX_HAD_DISPLAY=$had_display "$root/scripts/sandbox.sh" "$root/build/x86_64" -- bash -c '
  set -euo pipefail
  wine=$WINELOADER
  # Installed like a user would have it, with its help file; the quarantine
  # goes beside it.
  install_dir="$WINEPREFIX/drive_c/Program Files/Vantorix"
  mkdir -p "$install_dir"
  cp "$VX_BUILD_ROOT/Vantorix.exe" "$VX_BUILD_ROOT/Vantorix.chm" "$install_dir/"
  cd "$WINEPREFIX/drive_c"
  # Harmless samples: plain text, never anything that runs.
  printf "[autorun]\r\nopen=RECYCLER\\\\x.exe\r\n" > "$VX_DRIVES/e/AUTORUN.INF"
  printf "sample, not a program\r\n" > "$VX_DRIVES/e/RECYCLER.exe"
  $wine cmd /c attrib +h "E:\\RECYCLER.exe" >/dev/null 2>&1
  program="C:\\Program Files\\Vantorix\\Vantorix.exe"
  if [ -n "$VX_HAD_DISPLAY" ]; then
    exec $wine "$program"
  fi
  # Headless: answer the first-start question beforehand, let the window
  # settle in the notification area, then bring it back with a second start.
  $wine reg add "HKLM\\SOFTWARE\\Brisquandel" /v autorun /t REG_SZ /d 1 /f >/dev/null 2>&1
  $wine "$program" &
  sleep 6
  $wine "$program"
  sleep 2
  shot=$VX_SOURCE_ROOT/build/screenshots/run.png
  import -window root "$shot"
  echo "screenshot: $shot"
'
