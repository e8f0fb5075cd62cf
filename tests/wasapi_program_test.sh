#!/usr/bin/env bash
# Starts TonquarryTuner.exe under Wine with no ASIO driver registered, beside a
# sound server of its own into which the recording plays (start_sound_server).
# The program starts on Windows audio, the panel shows the recording's note, the
# sound passes through whole (its output, recorded at the server together with its
# input, matches the input after the delay), and the closing lines log the blocks
# run and the blocks dropped and repeated; the settings file then keeps Windows
# audio, and the next start uses it at once.
# With TQ_WASAPI_SECONDS=N (N >= 7), for figures: the first start records N
# seconds and prints the delay and the match of every 4 s of them; its closing
# line has the blocks (25 ms each) run since the start and those dropped and
# repeated.
#   wasapi_program_test.sh --program EXE --driver-dll DLL --driver-register EXE
#     --build-dir DIR --wine WINE --recording WAV --bits 32|64 --frame-tool EXE --golden DIR
#     --align-tool EXE
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
once_more_after_wine_fault "$0" "$@"
wine_test_begin EXE DLL REGISTER BUILD_DIR WINE WAV BITS FRAME GOLDEN ALIGN -- "$@"

program_run_folder wasapi-program
show_on_failure log "$RUN/Logfile.txt"
show_on_failure wine "$RUN/wine-stderr.txt" 40
"$WINE" wineboot --init >/dev/null 2>&1 || true
prepare_program_folder
"$WINE" "$REGISTER" --unregister "$DLL_WIN" >/dev/null || fail "unregistering the demo driver"
MARK_KEY="HKCU\\Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner"
"$WINE" reg add "$MARK_KEY" /v "First Run Done" /t REG_DWORD /d 1 /f >/dev/null
start_sound_server "$RUN/guitar.wav" || fail "the sound server did not start"


# record_pass_through SECONDS: the server's input (the guitar sink's monitor) and the
# program's output (the out sink's monitor) recorded together for SECONDS; after
# the delay the output is the input (scaled by the mixer's output gain). The
# first 2 s are left out, and the delay is sought up to 2 s, below the 3-s loop of
# the input, so that only one alignment fits.
# On a busy machine Wine's render stream runs dry now and then (it plays silence,
# and the delay grows by as much), the 32-bit program under the emulator most of
# the time: such output matches the input only between the dry spells. So the
# 4-s match is printed, and what is judged is that the sound passes whole where it
# plays: some tenth of a second matches at 0.99 or more (samples damaged by the
# conversions or the engine match nowhere). Where none does, the sound is not
# judged only when the output ran dry for 2 % of the time or more and the program
# itself logged that it could not keep time (blocks dropped or repeated); else it
# was changed, or lost.
RECORDERS=()
cleanup_more() { local pid; for pid in "${RECORDERS[@]}"; do kill "$pid" 2>/dev/null || true; done; }
align() { "$ALIGN" "$RUN/recorded-guitar.wav" "$RUN/recorded-out.wav" --max-lag 2 "$@"; }
# The figure after WORD in a line of tq-align.
figure() { local rest=${1#*"$2" }; echo "${rest%%[ ,]*}"; }
record_pass_through() {
  local side
  for side in guitar out; do
    parecord -d "$side.monitor" --file-format=wav --format=float32le --rate=48000 --channels=2 "$RUN/recorded-$side.wav" &
    RECORDERS+=($!)
  done
  sleep "$1"  # the recordings' length
  kill -INT "${RECORDERS[@]}"
  wait "${RECORDERS[@]}" || true
  RECORDERS=()
}
# judge_pass_through SECONDS: after the program has quit (the judging takes a
# core). The tenths of a second are judged in the first 7 s.
judge_pass_through() {
  local at line first matching=0 windows=0 silent blocks late
  for at in $(seq 2 4 $(($1 - 5))); do
    line=$(align --skip "$at" --window 4) || fail "tq-align on the recordings"
    echo "pass-through, 4 s from $at s: $line"
    first=${first:-$line}
  done
  for at in $(LC_ALL=C seq 2 0.05 6); do
    line=$(align --skip "$at" --window 0.1) || fail "tq-align on the recordings"
    windows=$((windows + 1))
    awk -v c="$(figure "$line" correlation)" 'BEGIN { exit !(c >= 0.99) }' && matching=$((matching + 1))
  done
  echo "pass-through: $matching of $windows tenths of a second (every 0.05 s) match at 0.99 or more"
  [ "$matching" -gt 0 ] && return 0
  silent=$(figure "$first" silent)
  blocks=${first##* of }
  late=$(tr -d '\r' < "$RUN/Logfile.txt" | sed -nE 's/^CWasapi::Release\(\) blocks [0-9]+, dropped ([0-9]+), repeated ([0-9]+)$/\1 + \2/p')
  if [ $((silent * 50)) -ge "$blocks" ] && [ $((${late:-0})) -gt 0 ]; then
    echo "NOTE: the output ran dry for $silent of $blocks hundredths of a second and the program dropped or repeated" \
      "$((late)) blocks: the machine is too busy to judge the sound"
    return 0
  fi
  cp "$RUN/recorded-guitar.wav" "$BUILD_DIR/wasapi-recorded-input.wav"
  cp "$RUN/recorded-out.wav" "$BUILD_DIR/wasapi-recorded-output.wav"
  fail "no tenth of a second of the output matches the input (recordings: $BUILD_DIR/wasapi-recorded-*.wav)"
}

for run in first second; do
  launch_program
  window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window ($run start)"
  wait_for_a2 "$BUILD_DIR/wasapi-note-$run" "through Windows audio ($run start)"
  [ $run = second ] || record_pass_through "${TQ_WASAPI_SECONDS:-7}"
  press "Tonquarry Guitar Tuner" q
  program_ended 120 || fail "'q' did not quit ($run start)"
  [ $run = second ] || judge_pass_through "${TQ_WASAPI_SECONDS:-7}"
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
