#!/usr/bin/env bash
# Runs a Windows-audio test program under Wine beside a PulseAudio server of its
# own, which Wine's audio reaches as the system's sound: two null sinks, "guitar",
# whose monitor is the default input and into which the recording plays over and
# over, and "out", the default output. Everything started here is stopped by
# process id at the end.
#   wasapi_test.sh --wine WINE --program EXE --recording WAV [-- PROGRAM-ARGS...]
set -euo pipefail
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

DIR=$(mktemp -d /tmp/tq-pulse.XXXXXX)
SERVER_PID= PLAY_PID=
cleanup() {
  if [ -n "$PLAY_PID" ]; then
    kill "$PLAY_PID" 2>/dev/null || true
    pkill -P "$PLAY_PID" 2>/dev/null || true
    wait "$PLAY_PID" 2>/dev/null || true
  fi
  if [ -n "$SERVER_PID" ]; then
    kill "$SERVER_PID" 2>/dev/null || true
    wait "$SERVER_PID" 2>/dev/null || true
  fi
  rm -rf "$DIR"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$DIR PULSE_SERVER=unix:$DIR/native
pulseaudio --daemonize=no --exit-idle-time=-1 --disable-shm=yes -n --use-pid-file=no \
  -L "module-native-protocol-unix socket=$DIR/native auth-anonymous=1" \
  -L "module-null-sink sink_name=guitar rate=48000" -L "module-null-sink sink_name=out rate=48000" \
  --log-target="file:$DIR/pulse.log" &
SERVER_PID=$!
deadline=$((SECONDS + 20))
until pactl info >/dev/null 2>&1; do
  if [ $SECONDS -ge $deadline ] || ! kill -0 "$SERVER_PID" 2>/dev/null; then
    echo "wasapi_test: the sound server did not start" >&2
    cat "$DIR/pulse.log" >&2 || true
    exit 1
  fi
  sleep 0.2
done
pactl set-default-source guitar.monitor
pactl set-default-sink out
(while paplay -d guitar "$RECORDING"; do :; done) &
PLAY_PID=$!

"$WINE" "$PROGRAM" "$@"
