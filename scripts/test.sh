#!/usr/bin/env bash
# Installs what is missing, builds the three targets and runs every test:
#   native Linux under AddressSanitizer + UndefinedBehaviorSanitizer (all tests),
#   native Linux under ThreadSanitizer (the tests that run threads),
#   native release (the tools: an analyser smoke run and the benchmarks),
#   the fuzz targets (clang, libFuzzer): a short run of each over its seeds,
#   Windows i686 (the product's target: everything must build),
#   Windows x86_64 (everything builds; the test programs run under wine64, with
#   Xvfb as the display for the Direct3D test).
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$ROOT/scripts/setup.sh"

summary=()

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

echo "== native, ASan + UBSan"
configure_and_build "$BUILD/native-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_WERROR=ON \
  -DTQ_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1 run_ctest native-asan --test-dir "$BUILD/native-asan" -j "$JOBS"

echo "== native, TSan (threaded tests)"
configure_and_build "$BUILD/native-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_WERROR=ON \
  -DTQ_SANITIZE=thread
run_ctest native-tsan --test-dir "$BUILD/native-tsan" -L threads -j "$JOBS"

echo "== native release: tools"
configure_and_build "$BUILD/native-release" -DCMAKE_BUILD_TYPE=Release -DTQ_WERROR=ON -DTQ_BUILD_TESTS=OFF
check_analyze "$BUILD/native-release/tq-analyze"
"$BUILD/native-release/tq-bench" --benchmark_format=json --benchmark_min_time=0.05 \
  >"$BUILD/native-release/bench.json"
echo "benchmarks: $(grep -c '"name"' "$BUILD/native-release/bench.json") results in bench.json"
"$BUILD/native-release/tq-snapshot" --out "$BUILD/native-release/panel.png" --measured 108.0 --string 1
echo "snapshot: $BUILD/native-release/panel.png"

# A short regression run of every fuzz target over its seeds: a fixed number of
# inputs from a fixed seed, a few seconds each, into a corpus thrown away after.
if command -v clang++ >/dev/null 2>&1; then
  echo "== fuzz targets, short run"
  build_fuzzers
  for name in "${FUZZ_TARGETS[@]}"; do
    work="$BUILD/fuzz/regression/$name"
    rm -rf "$work"
    if ! run_fuzzer "$name" "$work" -runs=50000 -seed=1 >"$BUILD/fuzz/regression-$name.log" 2>&1; then
      tail -n 30 "$BUILD/fuzz/regression-$name.log" >&2
      echo "test: tq-fuzz-$name failed" >&2
      exit 1
    fi
    echo "tq-fuzz-$name: $(grep -oE 'cov: [0-9]+' "$BUILD/fuzz/regression-$name.log" | tail -n 1), no fault in 50000 inputs"
  done
else
  echo "== fuzz targets skipped: no clang"
fi

echo "== Windows i686"
configure_and_build "$BUILD/win32" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTQ_WERROR=ON

echo "== Windows x86_64 under wine64"
WINE64=$(wine64_path)
configure_and_build "$BUILD/win64" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTQ_WERROR=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$WINE64"
start_virtual_display
mkdir -p "$WINEPREFIX"
"$WINE64" wineboot --init >/dev/null 2>&1 || true
run_ctest win64 --test-dir "$BUILD/win64"
check_analyze "$WINE64" "$BUILD/win64/tq-analyze.exe"

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
total=0
for line in "${summary[@]}"; do
  total=$((total + ${line##* }))
done
echo "tests: $total passed, 0 failed"
