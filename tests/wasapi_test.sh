#!/usr/bin/env bash
# Runs a Windows-audio test program under Wine beside a sound server of its own
# (start_sound_server: the recording plays into the default input), stopped by
# process id at the end.
#   wasapi_test.sh --wine WINE --program EXE --recording WAV [-- PROGRAM-ARGS...]
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
WINE= PROGRAM= RECORDING=
while [ $# -gt 0 ]; do
  case $1 in
    --wine) WINE=$2; shift 2 ;;
    --program) PROGRAM=$2; shift 2 ;;
    --recording) RECORDING=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "wasapi_test: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -n "$WINE" ] && [ -n "$PROGRAM" ] && [ -f "$RECORDING" ] || { echo "wasapi_test: missing options" >&2; exit 2; }
trap stop_sound_server EXIT
start_sound_server "$RECORDING"
"$WINE" "$PROGRAM" "$@"
