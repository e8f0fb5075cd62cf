#!/usr/bin/env bash
# Starts TonquarryTuner.exe under Wine with no ASIO driver registered, beside a
# sound server of its own into which the recording plays (start_sound_server).
# The program starts on Windows audio, the panel shows the recording's note, and
# the closing lines log the blocks run and the blocks dropped and repeated; the
# settings file then keeps Windows audio, and the next start uses it at once.
#   wasapi_program_test.sh --program EXE --driver-dll DLL --driver-register EXE
#     --build-dir DIR --wine WINE --recording WAV --bits 32|64 --frame-tool EXE --golden DIR
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
once_more_after_wine_fault "$0" "$@"
wine_test_begin EXE DLL REGISTER BUILD_DIR WINE WAV BITS FRAME GOLDEN -- "$@"

program_run_folder wasapi-program
show_on_failure log "$RUN/Logfile.txt"
show_on_failure wine "$RUN/wine-stderr.txt" 40
"$WINE" wineboot --init >/dev/null 2>&1 || true
prepare_program_folder
"$WINE" "$REGISTER" --unregister "$DLL_WIN" >/dev/null || fail "unregistering the demo driver"
MARK_KEY="HKCU\\Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner"
"$WINE" reg add "$MARK_KEY" /v "First Run Done" /t REG_DWORD /d 1 /f >/dev/null
start_sound_server "$RUN/guitar.wav" || fail "the sound server did not start"

# expect_note SHOT: the recording's note, A2, on the panel within a minute.
expect_note() {
  local shot=$BUILD_DIR/$1
  note_shown() {
    xwd -id "$(window_now "Tonquarry Guitar Tuner")" -out "$shot.xwd" 2>/dev/null &&
      "$FRAME" compare "$shot.xwd" "$GOLDEN/tune_up_a_string.png" --smooth --tolerance 32 --region 502,70,30,16 \
        --max-share 2 >/dev/null
  }
  # The recording plays again after a short gap, in which no note shows.
  if ! wait_until 60 note_shown; then
    "$FRAME" convert "$shot.xwd" "$shot.png" >/dev/null || true
    fail "no A2 on the panel through Windows audio ($shot.png)"
  fi
}

for run in first second; do
  launch_program
  window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window ($run start)"
  expect_note "wasapi-note-$run"
  press "Tonquarry Guitar Tuner" q
  program_ended 120 || fail "'q' did not quit ($run start)"
  # No ASIO driver is installed: only its presence check fails.
  grep -v "^CAsio::bIsAsioDriverPresent() loadAsioDriver() FAILED" "$RUN/Logfile.txt" | grep -q "FAILED" &&
    fail "a FAILED line in the log ($run start)"
  expect_line() { tr -d '\r' < "$RUN/Logfile.txt" | grep -qE -- "$1" || fail "no log line '$1' ($run start)"; }
  expect_line '^CWasapi::Init\(\) (shared|exclusive) mode, input [0-9]+ ch'
  expect_line '^CWasapi::Release\(\) blocks [0-9]+, dropped [0-9]+, repeated [0-9]+$'
  SETTINGS=$(tr -d '\r' < "$RUN/Settings.dat" | tr '\n' ' ')
  [ "$SETTINGS" = "48000 1200 3 0 0 0 0 " ] || fail "Settings.dat holds '$SETTINGS' after the $run start"
  tr -d '\r' < "$RUN/Logfile.txt" | grep -E '^CWasapi::(Init|Release)\(\) ' | sed "s/^/$run start: /"
done
# The second start went to Windows audio without trying ASIO.
tr -d '\r' < "$RUN/Logfile.txt" | grep -q '^InitAudio() Asio.Init() FAILED trying Windows audio$' &&
  fail "the second start tried ASIO first"
echo "PASS"
