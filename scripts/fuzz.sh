#!/usr/bin/env bash
# A fuzzing campaign: builds the fuzz targets (clang, libFuzzer, ASan + UBSan) and
# runs each for SECONDS, one after the other, growing a corpus per target in
# build/fuzz/corpus/ from the checked-in seeds. Prints each target's executions
# and coverage; fails when any target found an input that crashes, hangs or breaks
# one of its checks (kept in build/fuzz/crashes/NAME/).
# Usage: scripts/fuzz.sh SECONDS [NAME...]   (names: wav bmp png numbers analyze settings pages)
set -euo pipefail
source "$(dirname "$0")/common.sh"
seconds=${1:?usage: fuzz.sh SECONDS [NAME...]}
shift
names=("$@")
[ ${#names[@]} -gt 0 ] || names=("${FUZZ_TARGETS[@]}")
"$ROOT/scripts/setup.sh"
build_fuzzers >/dev/null

failed=()
summary=()
for name in "${names[@]}"; do
  log="$BUILD/fuzz/campaign-$name.log"
  echo "== tq-fuzz-$name for $seconds s"
  set +e
  run_fuzzer "$name" "$BUILD/fuzz/corpus/$name" -max_total_time="$seconds" -print_final_stats=1 >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log" | tail -n 1)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1)
  summary+=("tq-fuzz-$name: ${runs:-?} executions in $seconds s, ${cov:-cov: ?}, exit $rc")
  if [ "$rc" -ne 0 ]; then
    failed+=("$name")
    grep -E 'ERROR|fuzz check failed|Test unit written' "$log" | head -n 5 || true
  fi
done
echo
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: found faults in ${failed[*]} (logs: $BUILD/fuzz/campaign-NAME.log)" >&2
  exit 1
fi
