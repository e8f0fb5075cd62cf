#!/usr/bin/env bash
# TonquarryTuner.exe under Wine at 120 and 144 pixels per inch (Wine's LogPixels,
# put back afterwards, also after a failure). Wine scales no program, as Windows
# XP does not: the program itself must keep its window, panel and dialogs in
# shape. At each setting, in one start: the log names the setting; the client area
# is 583 x 212; the first frame is the start-up frame of 96 pixels per inch, pixel
# for pixel as far as the two font engines allow (the panel keeps its own pixels
# and its font); and in the About box the logo, found in a picture of the box,
# lies inside the box and clear of every control.
#   dpi_test.sh --program EXE --driver-dll DLL --driver-register EXE --build-dir DIR
#     --wine WINE --recording WAV --bits 32|64 --frame-tool EXE --window-info EXE
#     --dialog-driver EXE --golden DIR
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
once_more_after_wine_fault "$0" "$@"
wine_test_begin EXE DLL REGISTER BUILD_DIR WINE WAV BITS FRAME WINDOW_INFO DIALOG_DRIVER GOLDEN -- "$@"

VIEW=/reg:$BITS
RUN=$(mktemp -d "$BUILD_DIR/dpi-run.XXXXXX")
show_on_failure log "$RUN/Logfile.txt"
show_on_failure wine "$RUN/wine-stderr.txt" 40
show_on_failure about "$RUN/about.txt"
show_on_failure driver "$RUN/driver-stderr.txt"
# The user's setting, which Wine prefers to the machine's.
DPI_KEY="HKCU\\Control Panel\\Desktop"
ORIG_DPI=$({ "$WINE" reg query "$DPI_KEY" /v LogPixels 2>/dev/null || true; } | tr -d '\r' | awk '$1 == "LogPixels" {print $3}')
cleanup_more() {
  if [ -n "$ORIG_DPI" ]; then "$WINE" reg add "$DPI_KEY" /v LogPixels /t REG_DWORD /d "$((ORIG_DPI))" /f >/dev/null 2>&1
  else "$WINE" reg delete "$DPI_KEY" /v LogPixels /f >/dev/null 2>&1; fi
}

prepare_program_folder
# The demo driver plays silence: the panel stays in its start-up state.
"$WINE" reg add "$DRIVER_KEY" /v InputGain /d 0 /f $VIEW >/dev/null
"$WINE" reg add "HKCU\\Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner" /v "First Run Done" \
  /t REG_DWORD /d 1 /f >/dev/null

ABOUT_TITLE="About Tonquarry Redede Rizuz Ad"
drive() { "$WINE" "$DIALOG_DRIVER" "$@" >/dev/null 2>>"$RUN/driver-stderr.txt"; }
# first_frame SHOT: the window's first frame, as in the program's test.
first_frame() {
  xwd -id "$(window_now "Tonquarry Guitar Tuner")" -out "$1.xwd" 2>/dev/null &&
    "$FRAME" compare "$1.xwd" "$GOLDEN/startup.png" --smooth --tolerance 32 --max-share 50 >/dev/null
}
# logo_found SHOT: where the logo is in a picture of the About box's client area.
logo_found() {
  xwd -id "$(window_now "$ABOUT_TITLE")" -out "$1.xwd" 2>/dev/null &&
    "$FRAME" find "$1.xwd" "$RUN/Textures/AsioLogo.bmp" >"$1.txt"
}
# overlaps L T R B: true when the logo's rectangle meets this one.
overlaps() { [ "$1" -lt "$LOGO_R" ] && [ "$LOGO_L" -lt "$3" ] && [ "$2" -lt "$LOGO_B" ] && [ "$LOGO_T" -lt "$4" ]; }

for DPI in 120 144; do
  "$WINE" reg add "$DPI_KEY" /v LogPixels /t REG_DWORD /d "$DPI" /f >/dev/null
  launch_program
  window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window at $DPI DPI"
  wait_until 30 grep -q "^Desktop DPI : " "$RUN/Logfile.txt" || fail "no DPI line in the log"
  grep -q "^Desktop DPI : $DPI\b" "$RUN/Logfile.txt" ||
    fail "the program does not see $DPI DPI: $(grep '^Desktop DPI' "$RUN/Logfile.txt")"

  SHOT="$BUILD_DIR/dpi-$DPI-frame"
  wait_until 60 first_frame "$SHOT" || true
  "$FRAME" convert "$SHOT.xwd" "$SHOT.png" >/dev/null
  "$FRAME" compare "$SHOT.xwd" "$GOLDEN/startup.png" --smooth --tolerance 32 --max-share 1.2 --diff "$SHOT-diff.png" ||
    fail "at $DPI DPI the first frame ($SHOT.png) is not the start-up panel (differences in $SHOT-diff.png)"
  WINDOW=$("$WINE" "$WINDOW_INFO" 2>/dev/null | tr -d '\r' | head -n 1)
  [[ "$WINDOW" =~ ^outer\ [0-9]+\ x\ [0-9]+,\ client\ 583\ x\ 212$ ]] || fail "at $DPI DPI the window is $WINDOW"

  drive open 469 16 "$ABOUT_TITLE" || fail "no About box at $DPI DPI"
  SHOT="$BUILD_DIR/dpi-$DPI-about"
  wait_until 30 logo_found "$SHOT" || true
  "$FRAME" convert "$SHOT.xwd" "$SHOT.png" >/dev/null
  read -r LOGO_L LOGO_T LOGO_W LOGO_H <"$SHOT.txt"
  [ "$LOGO_L" != "not" ] || fail "at $DPI DPI no logo in the About box ($SHOT.png)"
  LOGO_R=$((LOGO_L + LOGO_W)) LOGO_B=$((LOGO_T + LOGO_H))
  "$WINE" "$WINDOW_INFO" "$ABOUT_TITLE" 2>/dev/null | tr -d '\r' >"$RUN/about.txt"
  read -r _ CLIENT_W _ CLIENT_H < <(sed -n 's/.*client \([0-9]*\) x \([0-9]*\)$/client \1 x \2/p' "$RUN/about.txt")
  [ "$LOGO_R" -le "${CLIENT_W:-0}" ] && [ "$LOGO_B" -le "${CLIENT_H:-0}" ] ||
    fail "at $DPI DPI the logo at $LOGO_L,$LOGO_T is not inside the About box ($SHOT.png)"
  [ "$(grep -c '^child ' "$RUN/about.txt")" -ge 6 ] || fail "at $DPI DPI the About box's controls are not listed"
  while read -r _ ID L T R B; do
    ! overlaps "$L" "$T" "$R" "$B" || fail "at $DPI DPI the logo at $LOGO_L,$LOGO_T meets control $ID ($SHOT.png)"
  done < <(grep '^child ' "$RUN/about.txt")
  drive dialog "$ABOUT_TITLE" press 1 closed || fail "the About box did not close at $DPI DPI"

  press "Tonquarry Guitar Tuner" q
  program_ended 120 || fail "'q' did not quit at $DPI DPI"
  ! grep -q FAILED "$RUN/Logfile.txt" || fail "a FAILED line in the log at $DPI DPI"
  echo "$DPI DPI: $WINDOW; logo at $LOGO_L,$LOGO_T in the About box"
done
echo "dpi test passed"
