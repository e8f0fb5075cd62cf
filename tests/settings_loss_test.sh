#!/usr/bin/env bash
# The audio settings of TonquarryTuner.exe under Wine (demo ASIO driver as
# "ASIO4ALL v2"), kept when the player confirms them and never lost unannounced:
#  1. 96000 Hz confirmed in Options is in Settings.dat at once: the process killed
#     (kill -9) afterwards loses nothing;
#  2. a read-only Settings.dat and no per-user folder that can be made: OK tells the
#     player once, in a box owned by the main window, why and where; with a folder
#     named Settings.dat in its place a second OK and the shutdown only log; 'q'
#     quits cleanly;
#  3. (64-bit build) a standard user (nobody, in a Wine prefix of its own: Wine
#     refuses a prefix its user does not own) who may write neither the install
#     folder nor a per-user folder: the first failure is at shutdown, and the player
#     is told then.
#   settings_loss_test.sh --program EXE --driver-dll DLL --driver-register EXE
#     --build-dir DIR --wine WINE --recording WAV --bits 32|64 --dialog-driver EXE
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
once_more_after_wine_fault "$0" "$@"
wine_test_begin EXE DLL REGISTER BUILD_DIR WINE WAV BITS DIALOG_DRIVER -- "$@"

program_run_folder settings
USER_ROOT= USER_FOLDER= KEPT_FOLDER=
cleanup_more() {
  "$WINE" reg delete "$X11_KEY" /v Managed /f >/dev/null 2>&1
  chattr -i "$RUN/Settings.dat" 2>/dev/null
  [ ! -f "$USER_FOLDER" ] || rm -f "$USER_FOLDER"
  [ -z "$KEPT_FOLDER" ] || mv "$KEPT_FOLDER" "$USER_FOLDER"
  [ -z "$USER_ROOT" ] || { as_user "$(dirname "$(wine64_path)")/wineserver" -k; rm -rf "$USER_ROOT"; }
}

"$WINE" reg add "$X11_KEY" /v Managed /d N /f >/dev/null  # dialogs close at once (see dialogs_test.sh)
prepare_program_folder
"$WINE" reg add "HKCU\\Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner" /v "First Run Done" \
  /t REG_DWORD /d 1 /f >/dev/null
# The program's per-user folder cannot be made: a file holds its place. One that
# an earlier run left is put back afterwards.
APPDATA_WIN=$("$WINE" cmd /c echo %APPDATA% | tr -d '\r')
USER_FOLDER="$("$WINE" winepath -u "$APPDATA_WIN" | tr -d '\r')/Tonquarry Multimedia Studios"
if [ -e "$USER_FOLDER" ]; then KEPT_FOLDER="$USER_FOLDER.kept-by-settings-test"; mv "$USER_FOLDER" "$KEPT_FOLDER"; fi
echo "not a folder" > "$USER_FOLDER"

drive() {
  "$WINE" "$DIALOG_DRIVER" "$@" 2>>"$RUN/driver-stderr.txt" | tr -d '\r' | paste -sd'|' || fail "tq-dialog-driver $*"
}
expect() { [ "$2" = "$3" ] || fail "$1: '$2', expected '$3'"; }
settings() { tr -d '\r' < "$1" | tr '\n' ' '; }
log_lines() { tr -d '\r' < "$1" | grep -c -F -x -- "$2" || true; }
has_log_line() { [ "$(log_lines "$1" "$2")" -ge "$3" ]; }
wait_for_log() { wait_until 60 has_log_line "$@" || fail "no ${3}th log line '$2' in 60 s"; }
quit_cleanly() {
  press "Tonquarry Guitar Tuner" q
  program_ended 120 || fail "'q' did not quit"
  [ "$(log_lines "$1" "EXITING PROGRAM")" = 1 ] || fail "no EXITING PROGRAM in the log"
}
OPTIONS="open 283 16 Options"
BOX="Settings not saved"
# The box's text is its static control's, 0xFFFF as in every message box.
BOX_TEXT=65535
NOTICE="Your audio settings cannot be saved to"

# --- 1. Kept at OK: 96000 is in the file before the process is killed.
STAGE_START=$SECONDS STAGE_TIMES=
stage_done() { STAGE_TIMES+=" $1 $((SECONDS - STAGE_START)) s"; STAGE_START=$SECONDS; }
launch_program
window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window"
drive $OPTIONS select 1039 3 press 1 closed >/dev/null
holds_96000() { [ "$(settings "$RUN/Settings.dat" 2>/dev/null)" = "96000 1200 1 0 0 0 0 " ]; }
wait_until 60 holds_96000 || fail "Settings.dat holds '$(settings "$RUN/Settings.dat")' after OK, not 96000"
# The 32-bit program runs in a process of its own beside Wine's launcher; the
# 64-bit one is the launcher's process itself.
pkill -KILL -f "${RUN##*/}.TonquarryTuner\.exe" || true
kill -KILL "$PROGRAM_PID" 2>/dev/null || true
program_ended 60 || fail "the killed program did not end"
holds_96000 || fail "Settings.dat holds '$(settings "$RUN/Settings.dat")' after the kill"
[ "$(log_lines "$RUN/Logfile.txt" "EXITING PROGRAM")" = 0 ] || fail "the program was not killed but ended"
stage_done killed

# --- 2. A read-only file: Wine lets root write a file without write bits (it only
# reports it read-only), so the file is made immutable too.
chmod a-w "$RUN/Settings.dat"
if ! chattr +i "$RUN/Settings.dat" 2>/dev/null; then
  echo "NOTE: chattr +i is refused here; a folder named Settings.dat stands in for the read-only file" >&2
  rm -f "$RUN/Settings.dat" && mkdir "$RUN/Settings.dat"
fi
launch_program
window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window with a read-only Settings.dat"
FILE_LINE="SaveSettings() FAILED to write $RUN_WIN\\Settings.dat: Permission denied"
# The box comes after the dialog has gone, owned by the main window.
SHOWN=$(drive $OPTIONS select 1039 2 press 1 dialog "$BOX" owner text $BOX_TEXT press 1 closed)
expect "the box at OK" "$SHOWN" "Tonquarry Guitar Tuner|$NOTICE $RUN_WIN\\Settings.dat (Permission denied). The tuner keeps working with them until you close it."
wait_for_log "$RUN/Logfile.txt" "$FILE_LINE" 1
chattr -i "$RUN/Settings.dat" 2>/dev/null || true
rm -rf "$RUN/Settings.dat" && mkdir "$RUN/Settings.dat"
drive $OPTIONS select 1039 3 press 1 closed >/dev/null
wait_for_log "$RUN/Logfile.txt" "$FILE_LINE" 2
quit_cleanly "$RUN/Logfile.txt"
expect "failed writes of the install folder's file" "$(log_lines "$RUN/Logfile.txt" "$FILE_LINE")" 3
USER_FILE_WIN="$APPDATA_WIN\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner\\Settings.dat"
expect "failed writes of the per-user file" \
  "$(log_lines "$RUN/Logfile.txt" "SaveSettings() FAILED to write $USER_FILE_WIN: its folder cannot be made")" 3
[ "$(tr -d '\r' < "$RUN/Logfile.txt" | grep -c '^SaveSettings() the player is told : ')" = 1 ] ||
  fail "the player was not told exactly once"
stage_done read-only

# The standard user is made with root's rights (runuser, chown). Its stage runs in
# the 64-bit build only: the code is the same in both, and under the 32-bit
# emulator the user's new prefix and start alone take about 35 s.
if [ "$BITS" != 64 ]; then
  echo "settings loss test passed (stages:$STAGE_TIMES; the standard user's in the 64-bit build)"
  exit 0
fi
if [ "$(id -u)" != 0 ] || ! id nobody >/dev/null 2>&1; then
  echo "NOTE: the standard-user stage needs root and the user nobody; left out"
  echo "settings loss test passed (stages:$STAGE_TIMES)"
  exit 0
fi
# --- 3. A standard user in a prefix of its own; the install folder is root's, and
# the user's application-data folder is closed to it, as is every place the
# settings could go. The log goes to the working folder, which the user may write.
USER_ROOT=$(mktemp -d /tmp/tq-settings-user.XXXXXX)
show_on_failure "user's log" "$USER_ROOT/work/Logfile.txt"
mkdir "$USER_ROOT/work" "$USER_ROOT/install"
cp "$RUN/TonquarryTuner.exe" "$RUN/guitar.wav" "$DLL" "$REGISTER" "$DIALOG_DRIVER" "$USER_ROOT/work/"
cp -r "$RUN/Textures" "$RUN/help" "$USER_ROOT/work/"
chmod 755 "$USER_ROOT"
chown -R nobody: "$USER_ROOT/work"
as_user() {
  (cd "$USER_ROOT/work" && runuser -u nobody -- env HOME="$USER_ROOT/work" WINEPREFIX="$USER_ROOT/work/prefix" \
    WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY="$DISPLAY" "$@")
}
WORK_WIN="Z:${USER_ROOT//\//\\}\\work"
as_user "$WINE" wineboot --init >/dev/null 2>&1 || true
as_user "$WINE" "${REGISTER##*/}" --description "ASIO4ALL v2" "$WORK_WIN\\${DLL##*/}" >/dev/null ||
  fail "registering the demo driver for the user"
as_user "$WINE" reg add "$DRIVER_KEY" /v WavIn /d "$WORK_WIN\\guitar.wav" /f $VIEW >/dev/null
as_user "$WINE" reg add "HKLM\\Software\\Tonquarry Multimedia Studios\\Tonquarry Redede Rizuz Ad" /v "Install Path" \
  /d "Z:${USER_ROOT//\//\\}\\install" /f /reg:32 >/dev/null
as_user "$WINE" reg add "HKCU\\Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner" /v "First Run Done" \
  /t REG_DWORD /d 1 /f >/dev/null
USER_APPDATA=$(as_user "$WINE" cmd /c echo %APPDATA% | tr -d '\r')
chmod a-w "$(as_user "$WINE" winepath -u "$USER_APPDATA" | tr -d '\r')"
(as_user "$WINE" TonquarryTuner.exe 2>>"$RUN/wine-stderr.txt") &
PROGRAM_PID=$!
window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window for the standard user"
press "Tonquarry Guitar Tuner" q
USER_FILE_WIN="$USER_APPDATA\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner\\Settings.dat"
SHOWN=$(as_user "$WINE" "${DIALOG_DRIVER##*/}" dialog "$BOX" owner text $BOX_TEXT press 1 closed 2>>"$RUN/driver-stderr.txt" |
  tr -d '\r' | paste -sd'|') || fail "no box at shutdown for the standard user"
expect "the box at shutdown" "$SHOWN" \
  "Tonquarry Guitar Tuner|$NOTICE $USER_FILE_WIN (its folder cannot be made). The tuner will start without them next time."
wait_for_exit "$PROGRAM_PID" 120 || fail "the standard user's program did not end after the box"
PROGRAM_PID=
LOG="$USER_ROOT/work/Logfile.txt"
expect "failed writes" "$(log_lines "$LOG" "SaveSettings() FAILED to write $USER_FILE_WIN: its folder cannot be made")" 1
[ "$(log_lines "$LOG" "EXITING PROGRAM")" = 1 ] || fail "no EXITING PROGRAM in the standard user's log"
stage_done "standard user"
echo "settings loss test passed (stages:$STAGE_TIMES)"
