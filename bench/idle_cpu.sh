#!/usr/bin/env bash
# CPU time over an idle minute in the notification area, the program's own
# and the wineserver's (every window lookup and wait goes through it),
# next to an empty dialog program idle for a minute of the same length in
# the same sandbox. Read from the Linux side (/proc), where Wine's own
# process times are not kept up to date for another process. Runs inside
# scripts/sandbox.sh.
set -euo pipefail
# First, like every benchmark: tells scripts/wine-exec that it was reached.
echo vx-main-entered
idle=${VX_IDLE_SECONDS:-60}
$WINELOADER reg add 'HKLM\SOFTWARE\Brisquandel' /v autorun /t REG_SZ /d 1 /f >/dev/null 2>&1
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# This prefix's wineserver (others may run on the machine): the one started
# for this prefix.
in_prefix() { { tr '\0' '\n' < "/proc/$1/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; }
server=""
for p in $(pgrep -x wineserver64; pgrep -x wineserver); do
  in_prefix "$p" && { server=$p; break; }
done
[ -n "$server" ] || { echo "no wineserver for $WINEPREFIX"; exit 1; }

# measure PROGRAM PATTERN: prints "own_ms server_ms" for one idle minute.
measure() {
  local program=$1 pattern=$2 pid=""
  ( cd "$VX_BUILD_ROOT" && exec "$WINELOADER" "$program" ) >/dev/null 2>&1 &
  local started=$!
  # Ours, not another sandbox's: it runs in this prefix.
  for _ in $(seq 100); do
    for p in $(pgrep -f "$pattern" || true); do
      in_prefix "$p" && { pid=$p; break; }
    done
    [ -n "$pid" ] && break
    sleep 0.1
  done
  [ -n "$pid" ] || { echo "$program did not start" >&2; return 1; }
  sleep 8  # start-up and the status pop-up's three seconds are over
  local own0 srv0 own1 srv1
  own0=$(ticks "$pid"); srv0=$(ticks "$server")
  sleep "$idle"
  own1=$(ticks "$pid"); srv1=$(ticks "$server")
  kill "$pid" 2>/dev/null || true
  wait "$started" 2>/dev/null || true
  echo "$(( (own1 - own0) * 1000 / hz )) $(( (srv1 - srv0) * 1000 / hz ))"
}

read -r own srv < <(measure 'W:\Vantorix.exe' 'W:\\Vantorix.exe')
read -r eown esrv < <(measure 'W:\empty_dialog.exe' 'W:\\empty_dialog.exe')
awk -v o="$own" -v s="$srv" -v eo="$eown" -v es="$esrv" -v t="$idle" -v hz="$hz" 'BEGIN {
  printf "CPU time over %d idle seconds, the program and the wineserver (clock tick %d ms):\n", t, 1000 / hz
  printf "  Vantorix.exe       %7d ms + wineserver %7d ms = %7d ms  (%.3f%% of one core; goal: at most 0.100%%)\n", o, s, o + s, (o + s) / (t * 10)
  printf "  empty dialog .exe  %7d ms + wineserver %7d ms = %7d ms  (%.3f%% of one core)\n", eo, es, eo + es, (eo + es) / (t * 10)
  if (eo + es > 0) printf "  ratio              %7.2f\n", (o + s) / (eo + es)
  else printf "  ratio              (the empty dialog used no measurable time)\n"
}'
