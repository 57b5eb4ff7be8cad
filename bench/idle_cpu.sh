#!/usr/bin/env bash
# The program's CPU time over 60 idle seconds in the notification area, read
# from the Linux side (/proc), where Wine's own process times are not kept
# up to date for another process. Runs inside scripts/sandbox.sh.
set -euo pipefail
idle=${VX_IDLE_SECONDS:-60}
$WINELOADER reg add 'HKLM\SOFTWARE\Brisquandel' /v autorun /t REG_SZ /d 1 /f >/dev/null 2>&1
( cd "$VX_BUILD_ROOT" && exec "$WINELOADER" 'W:\Vantorix.exe' ) >/dev/null 2>&1 &
pid=""
for _ in $(seq 100); do
  pid=$(pgrep -f 'W:\\Vantorix.exe' | head -n 1 || true)
  [ -n "$pid" ] && break
  sleep 0.1
done
[ -n "$pid" ] || { echo "the program did not start"; exit 1; }
sleep 8  # start-up and the status pop-up's three seconds are over
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks "$pid")
sleep "$idle"
after=$(ticks "$pid")
"$WINELOADER" cmd /c exit >/dev/null 2>&1 || true
kill "$pid" 2>/dev/null || true
awk -v b="$before" -v a="$after" -v hz="$hz" -v s="$idle" 'BEGIN {
  ms = (a - b) * 1000 / hz
  printf "CPU time over %d idle seconds in the notification area:\n", s
  printf "  Vantorix.exe  %8.1f ms  (%.3f%% of one core; clock tick %d ms)\n", ms, ms / (s * 10), 1000 / hz
}'
