#!/usr/bin/env bash
# Builds the 32-bit program, the demo ASIO driver and the installer, installs the
# program with its installer into a private Wine prefix (build/run-prefix), has the
# demo driver play a recording of the low E string tuned 30 cents flat as
# "ASIO4ALL v2" (or, with --driver wasapi, plays it into a sound server of its own
# that the program reaches through Windows audio), and runs the installed program:
# in a window on $DISPLAY when set, otherwise on a virtual display. The options are
# in USAGE below.
set -euo pipefail
source "$(dirname "$0")/common.sh"

USAGE="usage: run.sh [--driver asio|wasapi] [--live] [--seconds N] [--screenshot FILE.png] [--recording FILE.wav]
--driver D        asio (default): the demo ASIO driver plays the recording;
                  wasapi: no ASIO driver, and the recording plays into a PulseAudio
                  server of the run's own, which the program reaches through
                  Windows audio
--live            Windows audio from this machine's own sound server (PulseAudio or
                  PipeWire) and its default input: a real guitar; implies wasapi
--seconds N       quit with the program's 'q' key N seconds after its first frame
                  (default: run until the window is closed); pages through the
                  first-run pages itself
--screenshot F    save the window as a PNG just before it quits
--recording F     play this WAV file instead (PCM or float, mono or stereo; it is
                  played at the stream's rate, 48000 Hz, whatever its own)
The offline analyser has its own command: scripts/analyze.sh."
usage() { echo "$USAGE" >&2; exit 2; }
die() { echo "run: $*" >&2; exit 1; }
absolute() { (cd "$(dirname "$1")" && echo "$PWD/$(basename "$1")"); }

SECONDS_TO_RUN= SHOT= WAV=$ROOT/assets/audio/guitar-E2-flat.wav DRIVER=asio LIVE=
while [ $# -gt 0 ]; do
  case $1 in
    --driver) [[ ${2:-} =~ ^(asio|wasapi)$ ]] || die "--driver takes asio or wasapi"
              DRIVER=$2; shift 2 ;;
    --live) LIVE=1; shift ;;
    --seconds) [[ ${2:-} =~ ^[1-9][0-9]{0,4}$ ]] || die "--seconds takes a whole number of seconds, 1 to 99999"
               SECONDS_TO_RUN=$2; shift 2 ;;
    --screenshot) [ -n "${2:-}" ] && [ -d "$(dirname "$2")" ] || die "--screenshot needs a file in an existing folder"
                  SHOT=$(absolute "$2"); shift 2 ;;
    --recording) [ -f "${2:-}" ] && [ -r "$2" ] || die "--recording needs a readable WAV file"
                 WAV=$(absolute "$2"); shift 2 ;;
    -h|--help) usage ;;
    *) echo "run: unknown argument '$1'" >&2; usage ;;
  esac
done

[ -n "$LIVE" ] && DRIVER=wasapi
"$ROOT/scripts/setup.sh"
WINE=$(wine64_path)
mkdir -p "$BUILD"
echo "Building the 32-bit program, the demo driver and the installer (log: $BUILD/run-build.log)"
if ! TQ_TARGETS="TonquarryTuner tq-demo-asio tq-demo-asio-register tq-installer" configure_and_build \
  "$BUILD/win32" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-w64-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTQ_WERROR=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$WINE" >"$BUILD/run-build.log" 2>&1; then
  tail -n 30 "$BUILD/run-build.log" >&2
  die "the build failed"
fi
SETUP=$(ls -t "$BUILD"/win32/TonquarryTunerSetup-*.exe | head -1)
DRIVERS=$BUILD/win32/drivers/demo-asio

# The display first: start_virtual_display sets a trap of its own, replaced below.
[ -n "${DISPLAY:-}" ] || { start_virtual_display; echo "No display set: running on the virtual display $DISPLAY"; }
export WINEPREFIX=$BUILD/run-prefix
PROGRAM_PID= SHOT_XWD=$(mktemp --suffix=.xwd)
cleanup() {
  [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null || true
  rm -f "$SHOT_XWD"
  stop_wine
  stop_sound_server
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT
[ -d "$WINEPREFIX" ] || echo "Making the Wine prefix $WINEPREFIX (once; takes a minute)"
start_wine

echo "Installing $(basename "$SETUP") into the prefix"
"$WINE" "$SETUP" /S || die "the installer failed"
DIR_WIN=$("$WINE" reg query 'HKLM\Software\Tonquarry Multimedia Studios\Tonquarry Redede Rizuz Ad' \
  /v "Install Path" /reg:32 2>/dev/null | tr -d '\r' | sed -n 's/^ *Install Path *REG_SZ *//p')
[ -n "$DIR_WIN" ] || die "the installer wrote no install path"
DIR=$("$WINE" winepath -u "$DIR_WIN" 2>/dev/null | tr -d '\r')
DIR=${DIR/#$WINEPREFIX\/dosdevices\/c:/$WINEPREFIX/drive_c}

# The demo driver stands in for the player's audio interface; a 32-bit driver for
# the 32-bit program, registered in the 32-bit registry view.
DRIVER_DLL_WIN=$("$WINE" winepath -w "$DRIVERS/tq-demo-asio.dll" 2>/dev/null | tr -d '\r')
if [ "$DRIVER" = asio ]; then
  WAV_WIN=$("$WINE" winepath -w "$WAV" 2>/dev/null | tr -d '\r')
  "$WINE" "$DRIVERS/tq-demo-asio-register.exe" --description "ASIO4ALL v2" "$DRIVER_DLL_WIN" >/dev/null ||
    die "registering the demo driver failed"
  "$WINE" reg add 'HKLM\software\asio\ASIO4ALL v2' /v WavIn /d "$WAV_WIN" /f /reg:32 >/dev/null
  # A Windows-audio choice kept from an earlier --driver wasapi run would come first.
  [ -f "$DIR/Settings.dat" ] && sed -i '3s/^3/1/' "$DIR/Settings.dat"
  echo "Playing $WAV through the demo ASIO driver"
else
  # No ASIO driver: the program starts on Windows audio.
  "$WINE" "$DRIVERS/tq-demo-asio-register.exe" --unregister "$DRIVER_DLL_WIN" >/dev/null 2>&1 || true
  if [ -n "$LIVE" ]; then
    unset PULSE_SERVER
    echo "Live: Windows audio uses this machine's own sound server and its default input and output"
  else
    start_sound_server "$WAV" || die "the sound server did not start"
    echo "Playing $WAV into a sound server of the run's own, through Windows audio"
  fi
fi

FIRST_RUN=1
"$WINE" reg query 'HKCU\Software\Tonquarry Multimedia Studios\Tonquarry Guitar Tuner' /v "First Run Done" \
  >/dev/null 2>&1 && FIRST_RUN=

# Started in the install folder, as its Start-menu shortcut starts it.
rm -f "$DIR/Logfile.txt"
(cd "$DIR" && exec "$WINE" TonquarryTuner.exe >/dev/null 2>&1) &
PROGRAM_PID=$!
if [ -n "$FIRST_RUN" ]; then
  window_of "Starting for the first time" 180 >/dev/null || die "the first-run pages did not appear"
  if [ -n "$SECONDS_TO_RUN" ]; then
    # The focus starts on Help; three Tabs reach Next, which keeps it on later pages.
    press "Starting for the first time" Tab Tab Tab space
    sleep 1; press "Starting for the first time" space
    sleep 1; press "Starting for the first time" space
  else
    echo "First start in this prefix: read the pages and press Next to reach the tuner"
  fi
fi
window_of "Tonquarry Guitar Tuner" 600 >/dev/null || die "the program's window did not appear (log: $DIR/Logfile.txt)"
capture() { xwd -silent -id "$(window_now "Tonquarry Guitar Tuner")" >"$SHOT_XWD.new" 2>/dev/null && mv "$SHOT_XWD.new" "$SHOT_XWD"; }
colours() { xwdtopnm "$SHOT_XWD" 2>/dev/null | ppmhist -noheader 2>/dev/null | wc -l; }
# The seconds count from the first frame of the panel: until then the window is
# one colour (emulated 32-bit Windows programs start slowly, the first frame most).
for _ in $(seq 1 600); do
  kill -0 "$PROGRAM_PID" 2>/dev/null || break
  capture && [ "$(colours)" -gt 1 ] && break
  sleep 1
done
if [ -n "$SECONDS_TO_RUN" ] && ! kill -0 "$PROGRAM_PID" 2>/dev/null; then
  die "the program ended before its panel showed (log: $DIR/Logfile.txt)"
fi
echo "The tuner runs${SECONDS_TO_RUN:+ for $SECONDS_TO_RUN seconds}; 'q' in its window quits"
if [ -n "$SECONDS_TO_RUN" ]; then
  sleep "$SECONDS_TO_RUN"
  capture || true
  press "Tonquarry Guitar Tuner" q
  wait_for_exit "$PROGRAM_PID" 120 || die "'q' did not end the program"
else
  # The window is captured every two seconds; the last picture is the one kept.
  while kill -0 "$PROGRAM_PID" 2>/dev/null; do
    capture || true
    sleep 2
  done
fi
PROGRAM_PID=

echo
echo "Log:      $DIR/Logfile.txt"
if [ -f "$DIR/Settings.dat" ]; then
  echo "Settings: $DIR/Settings.dat ($(tr -d '\r' <"$DIR/Settings.dat" | tr '\n' ' '))"
fi
[ -s "$SHOT_XWD" ] || { echo "The window could not be captured: no reading shown"; exit 0; }
PNM=$(mktemp --suffix=.ppm)
xwdtopnm "$SHOT_XWD" >"$PNM" 2>/dev/null
if [ -n "$SHOT" ]; then
  pnmtopng "$PNM" >"$SHOT" 2>/dev/null
  echo "Picture:  $SHOT"
fi

# The guidance word lit in the picture: the lit one is drawn in red, the others in
# light blue, in the client area's row of words at y 83.
lit=
for word in "222 tune up" "305 in tune" "368 tune down"; do
  red=$(pamcut -left "${word%% *}" -top 83 -width 56 -height 14 "$PNM" 2>/dev/null | ppmhist -noheader 2>/dev/null |
    awk '$1 >= 150 && $2 < 90 && $3 < 90 { n += $5 } END { print n + 0 }')
  [ "$red" -ge 10 ] && lit=${word#* }
done
rm -f "$PNM"
if [ -n "$lit" ]; then
  echo "The tuner showed: \"$lit\""
else
  echo "The tuner showed no guidance word (no steady pitch at the end)"
fi
