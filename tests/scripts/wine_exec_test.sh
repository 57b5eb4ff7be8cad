#!/usr/bin/env bash
# scripts/wine-exec with a stand-in for Wine's loader: which failures it
# starts again, and that it says so.
set -uo pipefail
wine_exec=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-exec
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build" "$work/source/bench" "$work/sandbox"
: > "$work/build/some_tests.exe"
: > "$work/build/some_bench.exe"
: > "$work/source/bench/some_bench.cpp"
# The stand-in counts its starts and behaves as $BEHAVIOUR says.
cat > "$work/loader" <<'LOADER'
#!/usr/bin/env bash
echo start >> "$COUNT_FILE"
case $BEHAVIOUR in
  silent-crash) exit 3 ;;
  silent-loader-exit-once)
    [ "$(wc -l < "$COUNT_FILE")" -gt 1 ] && { echo vx-main-entered; echo passed; exit 0; }
    exit 1 ;;
  slow-silent-exit) sleep 1.5; exit 1 ;;
  loader-failure) echo "wine: could not load kernel32.dll, status c0000135"; exit 1 ;;
  loader-failure-once)
    [ "$(wc -l < "$COUNT_FILE")" -gt 1 ] && { echo vx-main-entered; echo passed; exit 0; }
    echo "wine: could not load kernel32.dll, status c0000135"; exit 1 ;;
  marker-then-failure) echo vx-main-entered; echo "wine: could not load x.dll"; exit 1 ;;
  slow) echo $$ > "$COUNT_FILE.pid"; echo vx-main-entered; echo "first line"; exec sleep 30 ;;
esac
LOADER
chmod +x "$work/loader"

failures=0
# check NAME BEHAVIOUR EXE EXPECTED_RC EXPECTED_STARTS EXPECTED_RESTARTS_LOGGED
check() {
  local name=$1 behaviour=$2 exe=$3 want_rc=$4 want_starts=$5 want_logged=$6
  rm -f "$work/count" "$work/build/wine-exec-restarts.log"
  local out rc
  out=$(VX_SANDBOX=$work/sandbox VX_BUILD_ROOT=$work/build VX_BUILD_DRIVE=W VX_SOURCE_ROOT=$work/source \
        WINELOADER=$work/loader COUNT_FILE=$work/count BEHAVIOUR=$behaviour \
        "$wine_exec" "$work/build/$exe" 2>&1)
  rc=$?
  local starts logged=0
  starts=$(wc -l < "$work/count")
  [ -s "$work/build/wine-exec-restarts.log" ] && logged=1
  if [ "$rc" != "$want_rc" ] || [ "$starts" != "$want_starts" ] || [ "$logged" != "$want_logged" ]; then
    echo "FAIL $name: exit $rc (want $want_rc), $starts starts (want $want_starts), restart logged $logged (want $want_logged)"
    echo "$out" | sed 's/^/    /'
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
  if [ "$want_logged" = 1 ] && ! grep -q 'RESTART' <<< "$out"; then
    echo "FAIL $name: the restart is not said in the output"; failures=$((failures + 1))
  fi
}

check "a crash before main() without Wine's word is not hidden" silent-crash some_tests.exe 3 1 0
check "the loader's own silent status 1 at once is retried, loudly" silent-loader-exit-once some_tests.exe 0 2 1
check "a silent status 1 after a program had time to run is not retried" slow-silent-exit some_tests.exe 1 1 0
check "Wine's loader failure before main() is retried once, loudly" loader-failure some_tests.exe 1 2 1
check "a retry that passes still leaves its trace" loader-failure-once some_tests.exe 0 2 1
check "a failure after main() was reached is never retried" marker-then-failure some_tests.exe 1 1 0
check "a benchmark is never retried" loader-failure some_bench.exe 1 1 0

# Output is streamed: a program killed while it runs has already shown its lines.
rm -f "$work/count"
VX_SANDBOX=$work/sandbox VX_BUILD_ROOT=$work/build VX_BUILD_DRIVE=W VX_SOURCE_ROOT=$work/source \
  WINELOADER=$work/loader COUNT_FILE=$work/count BEHAVIOUR=slow \
  "$wine_exec" "$work/build/some_tests.exe" > "$work/streamed" 2>&1 &
runner=$!
for _ in $(seq 50); do grep -q "first line" "$work/streamed" 2>/dev/null && break; sleep 0.1; done
if grep -q "first line" "$work/streamed"; then echo "ok   output is streamed while the program runs"
else echo "FAIL output is held back until the program ends"; failures=$((failures + 1)); fi
[ -s "$work/count.pid" ] && kill "$(cat "$work/count.pid")" 2>/dev/null
wait "$runner" 2>/dev/null

[ "$failures" -eq 0 ]
