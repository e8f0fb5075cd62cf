#!/usr/bin/env bash
# Runs the tests that wait for other threads, windows and processes again and
# again while two busy loops hold both cores, and prints how often each passed. A
# slow or busy machine may make these tests slower, never red. Run it after
# changing such a test or the code it waits on, and before relying on a new wait.
# The options are in USAGE below. Builds what it runs first. The logs of failed
# runs stay in build/stress/.
set -euo pipefail
source "$(dirname "$0")/common.sh"

USAGE="usage: stress.sh [RUNS] [native] [win32] [win64] [-R REGEX]
RUNS      runs of each test (default 10)
native    the threaded tests, natively under ThreadSanitizer
win32     under Wine, the 32-bit (product) build: the program, dialogs,
          installer, Windows-version, folder-name, DPI, damaged-files and
          settings-loss runs, and the test
          programs that run threads (threads, kernel streaming, ASIO)
win64     the same for the 64-bit build (it has no installer)
          (default: all three)
-R REGEX  only the tests whose names match"
usage() { echo "$USAGE" >&2; exit 2; }
RUNS=10 BUILDS=() FILTER=
while [ $# -gt 0 ]; do
  case $1 in
    [1-9]|[1-9][0-9]|[1-9][0-9][0-9]) RUNS=$1; shift ;;
    native|win32|win64) BUILDS+=("$1"); shift ;;
    -R) [ -n "${2:-}" ] || usage; FILTER=$2; shift 2 ;;
    -h|--help) usage ;;
    *) echo "stress: unknown argument '$1'" >&2; usage ;;
  esac
done
[ ${#BUILDS[@]} -gt 0 ] || BUILDS=(native win32 win64)
WINDOWS_TESTS='^(tq-(program|dialogs|installer|versions|unicode-folder|dpi|damaged-files|settings-loss)-run|tq-(thread|ks|asio)-tests)$'

"$ROOT/scripts/setup.sh"
mkdir -p "$BUILD"
for b in "${BUILDS[@]}"; do
  echo "== building $b (log: $BUILD/stress-build-$b.log)"
  case $b in
    native) build_tsan ;;
    win32) windows_build win32 i686 ;;
    win64) windows_build win64 x86_64 ;;
  esac >"$BUILD/stress-build-$b.log" 2>&1 || { tail -n 30 "$BUILD/stress-build-$b.log" >&2; exit 1; }
done

OUT=$BUILD/stress
rm -rf "$OUT"
mkdir -p "$OUT"
if [[ " ${BUILDS[*]} " =~ \ win ]]; then
  start_virtual_display
  start_wine
fi
# Two busy loops, one per core, at the tests' own priority. They end with the
# display and Wine when the script exits.
for _ in 1 2; do
  (while :; do :; done) &
  BACKGROUND_JOBS+=("$!")
done
trap stop_display_and_jobs EXIT

# Windows programs of a test run (in this build's Wine prefix) still running when
# it ended.
leftovers() {
  local pid
  for pid in $(pgrep -f '[A-Z]:\\.*(TonquarryTuner[^ ]*|tq-dialog-driver|Uninstall|Au_)\.exe' || true); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then echo "$pid"; fi
  done
}

declare -A passed=() ran=() failed_logs=()
names=()
for b in "${BUILDS[@]}"; do
  if [ "$b" = native ]; then
    args=(--test-dir "$BUILD/native-tsan" -L threads -j "$JOBS" -R "${FILTER:-.}")
  else
    args=(--test-dir "$BUILD/$b" -R "${FILTER:-$WINDOWS_TESTS}" -j "$JOBS")
  fi
  for run in $(seq 1 "$RUNS"); do
    log="$OUT/$b-$run.log"
    ctest "${args[@]}" --output-on-failure >"$log" 2>&1 || true
    left=$(leftovers)
    if [ -n "$left" ]; then
      echo "stress: left running after the run: $(ps -o args= -p "$(paste -sd, <<<"$left")" | paste -sd';')" | tee -a "$log"
      kill $left 2>/dev/null || true
    fi
    # "  3/4 Test #3: NAME ......   Passed    1.23 sec", or ***Failed, ***Timeout...
    results=$(awk '/^ *[0-9]+\/[0-9]+ +Test +#[0-9]+: / {
      for (i = 1; i < NF; i++) if ($i ~ /^#[0-9]+:$/) break
      print $(i + 1), (/ Passed / ? "Passed" : "Failed") }' "$log")
    [ -n "$results" ] || results="(no-test-ran) Failed"
    fails=0
    while read -r name status; do
      key="$b $name"
      [ -n "${ran[$key]+x}" ] || { names+=("$key"); ran[$key]=0; passed[$key]=0; }
      ran[$key]=$((ran[$key] + 1))
      if [ "$status" = Passed ] && [ -z "$left" ]; then
        passed[$key]=$((passed[$key] + 1))
      else
        fails=$((fails + 1))
        failed_logs[$key]+=" $log"
      fi
    done <<<"$results"
    [ "$fails" -eq 0 ] && rm -f "$log"
    echo "$b run $run of $RUNS: $(wc -l <<<"$results") tests, $fails failed"
  done
done

echo
echo "== $RUNS runs of each test, both cores held by busy loops"
status=0
for key in "${names[@]}"; do
  printf '%-6s %-60s %3d of %d passed\n' "${key%% *}" "${key#* }" "${passed[$key]}" "${ran[$key]}"
  if [ "${passed[$key]}" -ne "${ran[$key]}" ]; then
    echo "         failed runs:${failed_logs[$key]}"
    status=1
  fi
done
exit "$status"
