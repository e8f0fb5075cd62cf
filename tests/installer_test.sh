#!/usr/bin/env bash
# Installs the program silently under Wine into a folder of the test's choosing,
# starts it twice through its Start-menu shortcut with the demo ASIO driver
# registered, and uninstalls it silently:
#   - the install path is in the 32-bit registry view, where the program reads it;
#   - the shortcut starts the program in the install folder, where it finds its
#     textures and pages and writes its log and settings;
#   - a setting changed in the file between the runs is kept by the second run;
#   - the uninstaller removes the program, its folders, the shortcuts and the keys
#     and keeps only the player's Settings.dat and Logfile.txt.
#   installer_test.sh --installer SETUP --driver-dll DLL --driver-register EXE
#     --build-dir DIR --wine WINE
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
wine_test_begin SETUP DLL REGISTER BUILD_DIR WINE -- "$@"

DIR_WIN='C:\Tonquarry Installer Test\Guitar Tuner'
DIR="$WINEPREFIX/drive_c/Tonquarry Installer Test/Guitar Tuner"
PATH_KEY='HKLM\Software\Tonquarry Multimedia Studios\Tonquarry Redede Rizuz Ad'
ARP_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tonquarry Guitar Tuner'
MARK_KEY='HKCU\Software\Tonquarry Multimedia Studios\Tonquarry Guitar Tuner'
MENU="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tonquarry Guitar Tuner"
LNK_WIN='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Tonquarry Guitar Tuner\Tonquarry Guitar Tuner.lnk'

show_on_failure log "$DIR/Logfile.txt"
key_exists() { "$WINE" reg query "$1" /reg:32 >/dev/null 2>&1; }
program_gone() { ! pgrep -f 'Installer Test.Guitar Tuner.TonquarryTuner\.exe' >/dev/null; }
uninstalled() { [ ! -e "$DIR/Uninstall.exe" ] && ! key_exists "$ARP_KEY"; }

RUNNING= MARK_ADDED=
cleanup_more() {
  [ -n "$RUNNING" ] && "$WINE" taskkill /f /im TonquarryTuner.exe >/dev/null 2>&1
  "$WINE" reg delete "$ARP_KEY" /f /reg:32 >/dev/null 2>&1
  [ -n "$MARK_ADDED" ] && "$WINE" reg delete "$MARK_KEY" /v "First Run Done" /f >/dev/null 2>&1
  rm -rf "$(dirname "$DIR")" "$MENU"
}

"$WINE" wineboot --init >/dev/null 2>&1 || true
rm -rf "$(dirname "$DIR")"

# The demo driver answers as "ASIO4ALL v2" (silence), so no audio message box stops
# the start. The first-run pages have a test of their own: marked as seen here.
DLL_WIN=$("$WINE" winepath -w "$DLL" 2>/dev/null | tr -d '\r')
"$WINE" "$REGISTER" --description "ASIO4ALL v2" "$DLL_WIN" >/dev/null || fail "registering the demo driver"
if ! "$WINE" reg query "$MARK_KEY" /v "First Run Done" >/dev/null 2>&1; then
  MARK_ADDED=1
  "$WINE" reg add "$MARK_KEY" /v "First Run Done" /t REG_DWORD /d 1 /f >/dev/null
fi

# --- Silent install into a folder with blanks in its name. /D= must come last and
# unquoted: given as one argument, Wine would quote it, so it goes as words that
# Wine joins with single blanks.
# shellcheck disable=SC2086
"$WINE" "$SETUP" /S /D=$DIR_WIN || fail "the installer failed"
for f in TonquarryTuner.exe Uninstall.exe Textures/Blackwood4.bmp Textures/AsioLogo.bmp help/intro.htm \
  help/FirstTimeRunScreen1.txt help/FirstTimeRunScreen3.txt; do
  [ -f "$DIR/$f" ] || fail "not installed: $f"
done
cmp -s "$(dirname "$SETUP")/TonquarryTuner.exe" "$DIR/TonquarryTuner.exe" || fail "the installed program differs"
INSTALLED=$("$WINE" reg query "$PATH_KEY" /v "Install Path" /reg:32 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *Install Path *REG_SZ *//p')
[ "$INSTALLED" = "$DIR_WIN" ] || fail "Install Path in the 32-bit view is '$INSTALLED'"
"$WINE" reg query "$ARP_KEY" /v DisplayVersion /reg:32 2>/dev/null | grep -q 'REG_SZ *1\.3' ||
  fail "no entry with version 1.3 among the installed programs"
[ -f "$MENU/Tonquarry Guitar Tuner.lnk" ] || fail "no Start-menu shortcut"

# run_from_shortcut: starts the program through its shortcut, waits for the audio
# to run, quits with 'q' and waits for the log's last line. Wine's start returns
# at once for a shortcut, so the log tells when the program has ended.
run_from_shortcut() {
  rm -f "$DIR/Logfile.txt"
  "$WINE" start "$LNK_WIN" >/dev/null 2>&1 || fail "the shortcut did not start"
  RUNNING=1
  window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window from the shortcut"
  wait_until 60 grep -q "^CAsio::Init() g_fSamplingFreq =" "$DIR/Logfile.txt" || fail "ASIO did not start"
  press "Tonquarry Guitar Tuner" q
  wait_until 120 grep -q "^End of Tonquarry Logfile" "$DIR/Logfile.txt" || fail "'q' did not end the program"
  # The log's last line comes just before the process ends.
  wait_until 60 program_gone || fail "the program still runs after its log ended"
  RUNNING=
}
settings() { tr -d '\r' <"$DIR/Settings.dat" | tr '\n' ' '; }

# --- First run from the shortcut: working folder, install path, textures, settings.
run_from_shortcut
LOG=$(tr -d '\r' <"$DIR/Logfile.txt")
grep -qxF "Current Directory =  $DIR_WIN" <<<"$LOG" || fail "not started in the install folder"
grep -qxF "GetInstallPath() InstallPath :  $DIR_WIN" <<<"$LOG" || fail "the program did not read the install path"
[ "$(grep -c '^Loading  *Textures\\' <<<"$LOG")" -ge 5 ] || fail "textures not loaded"
grep -q 'FAILED' <<<"$LOG" && fail "a FAILED line in the log"
[ "$(settings)" = "48000 1200 1 0 0 0 0 " ] || fail "Settings.dat holds '$(settings)'"

# --- Settings persist: stereo input and an analyser setting of 5 survive a run.
printf '48000\r\n1200\r\n1\r\n0\r\n0\r\n1\r\n5\r\n' >"$DIR/Settings.dat"
run_from_shortcut
[ "$(settings)" = "48000 1200 1 0 0 1 5 " ] || fail "Settings.dat holds '$(settings)' after the second run"

# --- Silent uninstall. It runs from a copy of itself in the temporary folder and
# returns at once, so wait for its work to show.
"$WINE" "$DIR_WIN\\Uninstall.exe" /S || fail "the uninstaller failed"
wait_until 120 uninstalled || true
for f in TonquarryTuner.exe Uninstall.exe Textures help; do
  [ ! -e "$DIR/$f" ] || fail "left after uninstalling: $f"
done
[ "$(cd "$DIR" && ls | tr '\n' ' ')" = "Logfile.txt Settings.dat " ] || fail "the folder holds $(ls "$DIR")"
[ ! -e "$MENU" ] || fail "the Start-menu folder is left"
key_exists "$PATH_KEY" && fail "the install path key is left"
key_exists 'HKLM\Software\Tonquarry Multimedia Studios' && fail "the company key is left"
key_exists "$ARP_KEY" && fail "the entry among the installed programs is left"
echo "installer test passed"
