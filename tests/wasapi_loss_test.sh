#!/usr/bin/env bash
# TonquarryTuner.exe on Windows audio under Wine (no ASIO driver registered) while
# its sound server is missing or comes and goes:
#  1. no server: one "Audio failed to start" box saying neither ASIO nor Windows
#     audio opened; the panel answers (its Options open and close); 'q' quits.
#     (Wine chooses its sound driver once per process: a server started later
#     is not seen by this one.)
#  2. with a server, twice: the server ends mid-run (Wine's way of losing the
#     endpoints): one box saying Windows audio stopped, the panel answers; the
#     server starts again on the same socket; Options and OK: the note again;
#  3. 'q' quits; every stream set-up logged the same engine memory, and the
#     process's handles did not grow from one restart to the next.
#   wasapi_loss_test.sh --program EXE --driver-dll DLL --driver-register EXE --build-dir DIR
#     --wine WINE --recording WAV --bits 32|64 --frame-tool EXE --golden DIR --dialog-driver EXE
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
once_more_after_wine_fault "$0" "$@"
wine_test_begin EXE DLL REGISTER BUILD_DIR WINE WAV BITS FRAME GOLDEN DIALOG_DRIVER -- "$@"

program_run_folder wasapi-loss
cleanup_more() { "$WINE" reg delete "$X11_KEY" /v Managed /f >/dev/null 2>&1; }
"$WINE" reg add "$X11_KEY" /v Managed /d N /f >/dev/null  # dialogs close at once (see dialogs_test.sh)
prepare_program_folder
"$WINE" "$REGISTER" --unregister "$DLL_WIN" >/dev/null || fail "unregistering the demo driver"
"$WINE" reg add "HKCU\\Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner" /v "First Run Done" \
  /t REG_DWORD /d 1 /f >/dev/null
sound_server_place
show_on_failure pulse "$SOUND_DIR/pulse.log" 20

drive() {
  "$WINE" "$DIALOG_DRIVER" "$@" 2>>"$RUN/driver-stderr.txt" | tr -d '\r' | paste -sd'|' || fail "tq-dialog-driver $*"
}
log_count() { tr -d '\r' < "$RUN/Logfile.txt" | grep -c -E -- "$1" || true; }
CAPTION="Audio failed to start"
# answer_box TEXT WHEN: one box CAPTION whose message begins with TEXT, answered
# with OK. Its text is the static control 0xFFFF; lines come joined with '|'.
answer_box() {
  local shown
  shown=$(drive dialog "$CAPTION" count "$CAPTION" text 65535 press 1 closed)
  [[ $shown == "1|$1"* ]] || fail "the box $2: '$shown', expected one beginning '$1'"
}
# restart_with_options N WHEN: Options and a plain OK, as the box says (the panel
# answers and a stopped stream starts again): the Nth stream set-up, and the note.
restart_with_options() {
  [ "$(drive count "$CAPTION")" = 0 ] || fail "a second box $2"
  drive open 283 16 Options press 1 closed >/dev/null
  wait_until 60 setups_logged "$1" || fail "Options and OK did not start Windows audio $2"
  running "$1" "$2"
}
setups_logged() { [ "$(log_count '^CWasapi::Init\(\) handles ')" -ge "$1" ]; }
# running N WHEN: the note on the panel; then the program's process's threads and
# open files as the system counts them, into USE[N] (Wine's handle count, which
# the log has, reads 0).
USE=()
running() {
  local pid
  wait_for_a2 "$BUILD_DIR/wasapi-loss-$1" "$2"
  pid=$(program_pid) || fail "no program process $2"
  USE[$1]="$(ls /proc/"$pid"/task | wc -l) threads, $(ls /proc/"$pid"/fd | wc -l) files"
}

# --- 1. No server.
launch_program
answer_box "No ASIO driver is installed, and Windows audio could not be opened (step: " "without a server"
window_of "Tonquarry Guitar Tuner" 60 >/dev/null || fail "no main window without a server"
[ "$(drive open 283 16 Options press 2 closed count "$CAPTION")" = 0 ] || fail "a second box without a server"
press "Tonquarry Guitar Tuner" q
program_ended 120 || fail "'q' did not quit without a server"
[ "$(log_count '^InitAudio\(\) Asio.Init\(\) FAILED no audio drivers in use$')" = 1 ] ||
  fail "the failure was not logged once without a server"
tr -d '\r' < "$RUN/Logfile.txt" | grep -v '^$' | tail -n 2 | paste -sd'|' | grep -qx 'EXITING PROGRAM|End of Tonquarry Logfile' ||
  fail "the log does not end with EXITING PROGRAM and the footer without a server"

sound_server_up "$RUN/guitar.wav" || fail "the sound server did not start"
launch_program
running 1 "at the start"

# --- 2. The server goes and comes back, twice.
for cycle in 1 2; do
  sound_server_down
  answer_box "Windows audio stopped: the input or output device was removed or changed." "after the server ended ($cycle)"
  [ "$(log_count '^MsgProc\(\) CM_WASAPI_LOST ')" = "$cycle" ] || fail "the loss was reported more than once ($cycle)"
  sound_server_up "$RUN/guitar.wav" || fail "the sound server did not start again ($cycle)"
  restart_with_options $((cycle + 1)) "after the server came back ($cycle)"
done

# --- 3. Quit; what each set-up held.
press "Tonquarry Guitar Tuner" q
program_ended 120 || fail "'q' did not quit"
tr -d '\r' < "$RUN/Logfile.txt" | grep -E '^CWasapi::(Init\(\) handles|Release\(\)) |^MsgProc\(\) CM_WASAPI_LOST' | sed 's/^/log: /'
mapfile -t SETUPS < <(tr -d '\r' < "$RUN/Logfile.txt" | sed -nE 's/^CWasapi::Init\(\) handles ([0-9]+), memory blocks ([0-9]+), bytes ([0-9]+)$/\1 \2 \3/p')
[ "${#SETUPS[@]}" = 3 ] || fail "${#SETUPS[@]} stream set-ups logged, expected 3"
read -r H1 B1 M1 <<<"${SETUPS[0]}"
read -r H2 B2 M2 <<<"${SETUPS[1]}"
read -r H3 B3 M3 <<<"${SETUPS[2]}"
[ "$B1 $M1" = "$B2 $M2" ] && [ "$B1 $M1" = "$B3 $M3" ] || fail "the engine's memory differs between set-ups: ${SETUPS[*]}"
# The first set-up is the process's first stream; from the second on each one
# follows a loss and a restart alike, so their counts compare. Wine's own threads
# (its sound driver's, the COM apartment's) may come and go at a given moment:
# one thread or file more is allowed. A leaked stream (its thread, its events, its
# connection to the server) grows them by more every cycle.
echo "process after each set-up: ${USE[1]}; ${USE[2]}; ${USE[3]}"
read -r T2 _ F2 _ <<<"${USE[2]}"
read -r T3 _ F3 _ <<<"${USE[3]}"
[ "$H3" -le $((H2 + 1)) ] && [ "$T3" -le $((T2 + 1)) ] && [ "$F3" -le $((F2 + 1)) ] ||
  fail "the program's handles, threads or files grew over a loss and restart: logged $H2 then $H3; ${USE[2]} then ${USE[3]}"
echo "PASS"
