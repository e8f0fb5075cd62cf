#!/usr/bin/env bash
# Builds the offline tuner and runs it: without arguments on the bundled recording
# of an A string tuned 30 cents flat; arguments, if any, go to tq-analyze instead
# (for example: --csv --string 0 my-e-string.wav).
set -euo pipefail
source "$(dirname "$0")/common.sh"
"$ROOT/scripts/setup.sh"
configure_and_build "$BUILD/native-release" -DCMAKE_BUILD_TYPE=Release -DTQ_BUILD_TESTS=OFF >/dev/null
if [ $# -eq 0 ]; then
  set -- --string 1 "$ROOT/assets/audio/guitar-A2-flat.wav"
fi
exec "$BUILD/native-release/tq-analyze" "$@"
