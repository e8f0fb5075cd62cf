#!/usr/bin/env bash
# Installs what is missing, builds the three targets and runs every test:
#   native Linux under AddressSanitizer + UndefinedBehaviorSanitizer (all tests),
#   native Linux under ThreadSanitizer (the tests that run threads),
#   native release (the tools: an analyser smoke run and the benchmarks),
#   the fuzz targets (clang, libFuzzer): a short run of each over its seeds,
#   Windows i686 (the product's target) and x86_64: the test programs of both run
#   under Wine, with Xvfb as the display for the Direct3D test.
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$ROOT/scripts/setup.sh"

summary=() times=()
# Each stage's wall time is shown at the end.
stage_start=$SECONDS stage_name=
stage() {
  [ -n "$stage_name" ] && times+=("$(printf '%5d s  %s' $((SECONDS - stage_start)) "$stage_name")")
  stage_name=$1 stage_start=$SECONDS
  [ -n "$1" ] && echo "== $1"
  return 0
}

# The bundled recording is an A string 30 cents flat: the tuner must say so.
check_analyze() {
  local out
  # Windows programs end their lines with CR LF.
  out=$("$@" --string 1 "$ROOT/assets/audio/guitar-A2-flat.wav" | tr -d '\r')
  echo "$out"
  if ! grep -q '^stable reading: .*(A2)' <<<"$out" || ! grep -q '^verdict: tune up$' <<<"$out"; then
    echo "test: tq-analyze misread the bundled recording" >&2
    exit 1
  fi
}
run_ctest() {
  local name=$1; shift
  local log="$BUILD/$name-ctest.log"
  set +e
  ctest "$@" --output-on-failure 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  summary+=("$name: $(grep -E 'tests passed|tests failed' "$log" | tail -n 1)")
  if [ "$rc" -ne 0 ]; then
    echo "test: $name failed" >&2
    exit "$rc"
  fi
  if ! grep -qE 'tests passed, 0 tests failed out of [1-9]' "$log"; then
    echo "test: $name ran no test" >&2
    exit 1
  fi
}

stage "floors: no include runs up"
"$ROOT/scripts/check-floors.sh"

stage "native, ASan + UBSan"
configure_and_build "$BUILD/native-asan" "${SANITIZER_FLAGS[@]}" -DTQ_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1 run_ctest native-asan --test-dir "$BUILD/native-asan" -j "$JOBS"

stage "native, TSan (threaded tests)"
build_tsan
run_ctest native-tsan --test-dir "$BUILD/native-tsan" -L threads -j "$JOBS"

stage "native release: tools"
configure_and_build "$BUILD/native-release" -DCMAKE_BUILD_TYPE=Release -DTQ_WERROR=ON -DTQ_BUILD_TESTS=OFF
check_analyze "$BUILD/native-release/tq-analyze"
"$BUILD/native-release/tq-bench" --benchmark_format=json --benchmark_min_time=0.05 \
  >"$BUILD/native-release/bench.json"
echo "benchmarks: $(grep -c '"name"' "$BUILD/native-release/bench.json") results in bench.json"
"$BUILD/native-release/tq-snapshot" --out "$BUILD/native-release/panel.png" --measured 108.0 --string 1
echo "snapshot: $BUILD/native-release/panel.png"

# A short regression run of every fuzz target over its seeds: a fixed number of
# inputs from a fixed seed, a few seconds each, into a corpus thrown away after.
stage "fuzz targets, short run"
build_fuzzers
for name in "${FUZZ_TARGETS[@]}"; do
  work="$BUILD/fuzz/regression/$name"
  rm -rf "$work"
  if ! run_fuzzer "$name" "$work" -runs=20000 -seed=1 >"$BUILD/fuzz/regression-$name.log" 2>&1; then
    tail -n 30 "$BUILD/fuzz/regression-$name.log" >&2
    echo "test: tq-fuzz-$name failed" >&2
    exit 1
  fi
  echo "tq-fuzz-$name: $(grep -oE 'cov: [0-9]+' "$BUILD/fuzz/regression-$name.log" | tail -n 1), no fault in 20000 inputs"
done

# Both Windows widths run their test programs under Wine: i686 is the product's
# target, x86_64 keeps the code honest for the other width. wine64 starts 32-bit
# programs through the 32-bit half of Wine. The Direct3D tests open windows on Xvfb.
WINE64=$(wine64_path)
start_virtual_display
start_wine
stage "Windows i686: build"
windows_build win32 i686
# The i686 tests under Wine leave a core idle most of the time (the window tests
# take turns): the x86_64 build uses it meanwhile, at the lowest priority so the
# tests keep their pace.
(renice -n 19 -p "$BASHPID" >/dev/null; windows_build win64 x86_64) >"$BUILD/win64-build.log" 2>&1 &
win64_build=$!
BACKGROUND_JOBS+=("$win64_build")
stage "Windows i686 under Wine"
run_ctest win32 --test-dir "$BUILD/win32" -j "$JOBS"
check_analyze "$WINE64" "$BUILD/win32/tq-analyze.exe"
stage "Windows x86_64: build (finishing)"
if ! wait "$win64_build"; then
  tail -n 40 "$BUILD/win64-build.log" >&2
  echo "test: the x86_64 build failed" >&2
  exit 1
fi
stage "Windows x86_64 under Wine"
run_ctest win64 --test-dir "$BUILD/win64" -j "$JOBS"
check_analyze "$WINE64" "$BUILD/win64/tq-analyze.exe"
stage ""

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
total=0
for line in "${summary[@]}"; do
  total=$((total + ${line##* }))
done
echo "tests: $total passed, 0 failed"
echo
echo "== time"
printf '%s\n' "${times[@]}"
echo "$(printf '%5d s' "$SECONDS")  in all"
