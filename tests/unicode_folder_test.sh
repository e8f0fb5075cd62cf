#!/usr/bin/env bash
# A folder named outside the system's ANSI code page (Cyrillic and Chinese while
# the code page is 1252), under Wine: the installer puts the program there, and
# the program, started in that folder as its Start-menu shortcut starts it
# (Wine itself writes the shortcut's folder name in the ANSI code page and cannot
# follow it), finds its log, settings,
# first-run pages, help page and textures, and keeps a setting changed in the
# Options dialog from one run to the next. A third run without the right to
# write into the install folder (its install path names a folder that does not
# exist) reads the copy an older version left in the VirtualStore and keeps the
# settings in the per-user application-data folder.
#   unicode_folder_test.sh --installer SETUP --driver-dll DLL --driver-register EXE
#     --build-dir DIR --wine WINE --dialog-driver EXE --frame-tool EXE --golden DIR
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
# Wine takes its ANSI code page from the locale, and its Unix file names from
# the locale's character set: English in UTF-8 gives code page 1252. Checked below.
export LC_ALL=C.UTF-8
wine_test_begin SETUP DLL REGISTER BUILD_DIR WINE DIALOG_DRIVER FRAME GOLDEN -- "$@"

NAME='Тюнер 调音器'
DIR_WIN="C:\\Program Files\\$NAME"
DIR="$WINEPREFIX/drive_c/Program Files/$NAME"
NORIGHTS_WIN="$DIR_WIN без прав"  # a folder that does not exist: nothing can be written there
PATH_KEY='HKLM\Software\Tonquarry Multimedia Studios\Tonquarry Redede Rizuz Ad'
ARP_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonquarry Guitar Tuner'
MARK_KEY='HKCU\Software\Tonquarry Multimedia Studios\Tonquarry Guitar Tuner'
MENU="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tonquarry Guitar Tuner"
FIRST_RUN="Starting for the first time"

show_on_failure log "$DIR/Logfile.txt"
program_gone() { ! pgrep -f "$NAME.TonquarryTuner\\.exe" >/dev/null; }
unix_path() { "$WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
folder_of() { unix_path "$("$WINE" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')"; }

MARK_WAS= USER_DIR= STORE_DIR=
cleanup_more() {
  "$WINE" reg delete "$ARP_KEY" /f /reg:32 >/dev/null 2>&1
  [ -n "$MARK_WAS" ] || "$WINE" reg delete "$MARK_KEY" /v "First Run Done" /f >/dev/null 2>&1
  # Every other program test would read the settings left in the user's folder.
  if [ -n "$USER_DIR" ]; then rm -rf "$USER_DIR"; rmdir "$(dirname "$USER_DIR")" 2>/dev/null; fi
  if [ -n "$STORE_DIR" ]; then
    rm -rf "$STORE_DIR"
    rmdir "$(dirname "$STORE_DIR")" "$(dirname "$(dirname "$STORE_DIR")")" 2>/dev/null
  fi
  rm -rf "$DIR" "$MENU"
}
"$WINE" reg query "$MARK_KEY" /v "First Run Done" >/dev/null 2>&1 && MARK_WAS=1

# The code page the test is about: the folder's letters are not in it.
ACP=$("$WINE" "$DIALOG_DRIVER" acp 2>/dev/null | tr -d '\r')
[ "$ACP" = 1252 ] || fail "Wine's ANSI code page is '$ACP', not 1252"
USER_DIR="$(folder_of APPDATA)/Tonquarry Multimedia Studios/Tonquarry Guitar Tuner"
LOCAL=$(folder_of LOCALAPPDATA)
[ -d "$LOCAL" ] && [ "$USER_DIR" != "/Tonquarry Multimedia Studios/Tonquarry Guitar Tuner" ] ||
  fail "no application-data folders in the prefix ('$USER_DIR', '$LOCAL')"
STORE_DIR="$LOCAL/VirtualStore/Program Files/$NAME без прав"
rm -rf "$DIR" "$USER_DIR" "$STORE_DIR"

DLL_WIN=$("$WINE" winepath -w "$DLL" 2>/dev/null | tr -d '\r')
"$WINE" "$REGISTER" --description "ASIO4ALL v2" "$DLL_WIN" >/dev/null || fail "registering the demo driver"

# --- Silent install. /D= goes last, as words that Wine joins with single blanks.
# shellcheck disable=SC2086
"$WINE" "$SETUP" /S /D=$DIR_WIN || fail "the installer failed"
[ -f "$DIR/TonquarryTuner.exe" ] && [ -f "$DIR/help/intro.htm" ] && [ -f "$DIR/Textures/AsioLogo.bmp" ] ||
  fail "not installed into $DIR: $(ls "$WINEPREFIX/drive_c/Program Files")"

LOG_TEXT=
drive() {
  "$WINE" "$DIALOG_DRIVER" "$@" 2>>"$BUILD_DIR/unicode-driver-stderr.txt" | tr -d '\r' | paste -sd'|' ||
    fail "tq-dialog-driver $*"
}
start_in_folder() {
  rm -f "$DIR/Logfile.txt"
  (cd "$DIR" && exec "$WINE" TonquarryTuner.exe 2>>"$BUILD_DIR/unicode-wine-stderr.txt") &
  PROGRAM_PID=$!
}
# quit: 'q' in the main window, then the log's last line and the process's end.
quit() {
  wait_until 60 grep -q "^CAsio::Init() g_fSamplingFreq =" "$DIR/Logfile.txt" || fail "ASIO did not start"
  press "Tonquarry Guitar Tuner" q
  wait_until 120 grep -q "^End of Tonquarry Logfile" "$DIR/Logfile.txt" || fail "'q' did not end the program"
  wait_for_exit "$PROGRAM_PID" 60 || fail "the program still runs after its log ended"
  PROGRAM_PID=
  wait_until 60 program_gone || fail "the program's process still runs after its log ended"
  LOG_TEXT=$(tr -d '\r' <"$DIR/Logfile.txt")
}
log_has() { grep -qxF -- "$1" <<<"$LOG_TEXT" || fail "no log line '$1'"; }
settings() { tr -d '\r' <"$1" | tr '\n' ' '; }
first_page_drawn() {
  xwd -id "$(window_now "$FIRST_RUN")" -out "$BUILD_DIR/unicode-first-page.xwd" 2>/dev/null &&
    "$FRAME" compare "$BUILD_DIR/unicode-first-page.xwd" "$GOLDEN/first_run_page1.png" --smooth --tolerance 32 \
      --max-share 1 --region 0,0,573,360 >/dev/null
}

# --- First run: the pages and the help page from the folder, then stereo input
# chosen in the Options dialog.
"$WINE" reg delete "$MARK_KEY" /v "First Run Done" /f >/dev/null 2>&1 || true
start_in_folder
window_of "$FIRST_RUN" 120 >/dev/null || fail "no first-run pages"
wait_until 60 first_page_drawn || fail "the first page is not drawn (unicode-first-page.xwd)"
# The focus starts on Help; three Tabs reach Next, which keeps it for the pages after.
press "$FIRST_RUN" space
wait_until 30 grep -q "^OpenIntroHelpPage() " "$DIR/Logfile.txt" || fail "Help did not open the help page"
press "$FIRST_RUN" Tab Tab Tab space
press "$FIRST_RUN" space
press "$FIRST_RUN" space
window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window after the first-run pages"
[ "$(drive open 283 16 Options select 1041 1 items 1041 press 1 closed)" = "Mono|*Stereo" ] ||
  fail "stereo input not chosen"
quit
log_has "CLog::CLog() FileNameNPath : $DIR_WIN\\Logfile.txt"
log_has "Current Directory =  $DIR_WIN"
log_has "GetInstallPath() InstallPath :  $DIR_WIN"
log_has "LoadSettings() settings folder :  $DIR_WIN"
log_has "SaveSettings() settings folder :  $DIR_WIN"
log_has "OpenIntroHelpPage() opening $DIR_WIN\\help\\intro.htm"
[ "$(grep -c '^Loading  *Textures\\' <<<"$LOG_TEXT")" -ge 5 ] || fail "textures not loaded"
grep -q 'FAILED' <<<"$LOG_TEXT" && fail "a FAILED line in the log"
[ "$(settings "$DIR/Settings.dat")" = "48000 1200 1 0 0 1 0 " ] || fail "Settings.dat holds '$(settings "$DIR/Settings.dat")'"

# --- Second run: the setting survived. The file is written from what the run
# read; a run that had not read it would write mono back.
start_in_folder
window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window in the second run"
quit
grep -q 'FAILED' <<<"$LOG_TEXT" && fail "a FAILED line in the second run's log"
[ "$(settings "$DIR/Settings.dat")" = "48000 1200 1 0 0 1 0 " ] ||
  fail "Settings.dat holds '$(settings "$DIR/Settings.dat")' after the second run"

# --- Without the right to write into the install folder: the VirtualStore copy is
# read, the per-user folder takes the settings.
"$WINE" reg add "$PATH_KEY" /v "Install Path" /d "$NORIGHTS_WIN" /f /reg:32 >/dev/null
mkdir -p "$STORE_DIR"
printf '48000\r\n600\r\n1\r\n0\r\n0\r\n1\r\n7\r\n' >"$STORE_DIR/Settings.dat"
start_in_folder
window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window in the run without rights"
quit
USER_WIN=$("$WINE" winepath -w "$USER_DIR" 2>/dev/null | tr -d '\r')
log_has "LoadSettings() settings folder :  $USER_WIN"
log_has "LoadSettings() reading :  $("$WINE" winepath -w "$STORE_DIR" 2>/dev/null | tr -d '\r')\\Settings.dat"
log_has "SaveSettings() settings folder :  $USER_WIN"
grep -q 'FAILED' <<<"$LOG_TEXT" && fail "a FAILED line in the log of the run without rights"
[ "$(settings "$USER_DIR/Settings.dat")" = "48000 600 1 0 0 1 7 " ] ||
  fail "the user's Settings.dat holds '$(settings "$USER_DIR/Settings.dat" 2>/dev/null)'"
[ ! -e "$WINEPREFIX/drive_c/Program Files/$NAME без прав" ] || fail "the folder without rights was written"
echo "unicode folder test passed"
