#!/usr/bin/env bash
# TonquarryTuner.exe under Wine with damaged bitmaps in its Textures folder: cut
# to the header, to half, one byte short, or with a header that claims more rows
# than the file holds. Two starts share the damage out over the five textures and
# the About box's logo. Each start: the main window shows, the About box opens
# with its texts (and no logo) and closes, 'q' quits; the log names every refused
# file with the reader's reason, loads the others, closes normally and reports no
# release failure for the empty slots.
#   damaged_files_test.sh --program EXE --driver-dll DLL --driver-register EXE
#     --build-dir DIR --wine WINE --recording WAV --bits 32|64 --dialog-driver EXE
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
once_more_after_wine_fault "$0" "$@"
wine_test_begin EXE DLL REGISTER BUILD_DIR WINE WAV BITS DIALOG_DRIVER -- "$@"

program_run_folder damaged
cleanup_more() { "$WINE" reg delete "$X11_KEY" /v Managed /f >/dev/null 2>&1; }
# Unmanaged, a closing dialog does not wait for a window manager.
"$WINE" reg add "$X11_KEY" /v Managed /d N /f >/dev/null

prepare_program_folder
# Silence: nothing on the panel moves.
"$WINE" reg add "$DRIVER_KEY" /v InputGain /d 0 /f $VIEW >/dev/null
"$WINE" reg add "HKCU\\Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner" /v "First Run Done" \
  /t REG_DWORD /d 1 /f >/dev/null

ABOUT_TITLE="About Tonquarry Redede Rizuz Ad"
TEXTURES=(Blackwood4.bmp Knob33a.bmp KnobNotch3-a.bmp KnobNotch3-b.bmp LightMap9.bmp)
drive() {
  "$WINE" "$DIALOG_DRIVER" "$@" 2>>"$RUN/driver-stderr.txt" | tr -d '\r' | paste -sd'|' || fail "tq-dialog-driver $*"
}
log_has() { tr -d '\r' <"$RUN/Logfile.txt" | grep -qxF -- "$1"; }

# damage FILE HOW: header (54 bytes left), half, short (one byte short) or lying
# (the height claims 4096 rows more).
damage() {
  local file="$RUN/Textures/$1" size
  size=$(stat -c %s "$file")
  case $2 in
    header) truncate -s 54 "$file" ;;
    half) truncate -s $((size / 2)) "$file" ;;
    short) truncate -s $((size - 1)) "$file" ;;
    lying) printf '\x10' | dd of="$file" bs=1 seek=23 conv=notrunc status=none ;;
  esac
}

# run_damaged LOGO_HOW NAME:HOW...: one start with the logo and those textures
# damaged, the rest whole.
run_damaged() {
  local logo=$1 entry name refused=()
  shift
  cp "$BUILD_DIR"/Textures/*.bmp "$RUN/Textures/"
  damage AsioLogo.bmp "$logo"
  for entry in "$@"; do
    damage "${entry%%:*}" "${entry#*:}"
    refused+=("${entry%%:*}")
  done

  launch_program
  window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window with damaged ${refused[*]}"
  SHOWN=$(drive open 469 16 "$ABOUT_TITLE" text 1046 text 1055 text 1056 press 1 closed)
  [[ "$SHOWN" =~ ^Tonquarry\ Guitar\ Tuner\ -\ version\ [0-9.]+\|Sound\ device:\ [^|]*\|Video\ device:\ \ [^\ ][^|]*$ ]] ||
    fail "About with a $logo logo shows '$SHOWN'"
  press "Tonquarry Guitar Tuner" q
  program_ended 120 || fail "'q' did not quit with damaged ${refused[*]}"

  log_has "AboutDlgProc() FAILED to load Textures\\AsioLogo.bmp: bitmap pixels cut short" ||
    fail "the $logo logo is not named as refused"
  for name in "${TEXTURES[@]}"; do
    if [[ " ${refused[*]} " == *" $name "* ]]; then
      log_has "CreateTexture() FAILED to load Textures\\$name: bitmap pixels cut short" ||
        fail "the damaged $name is not named as refused"
    else
      tr -d '\r' <"$RUN/Logfile.txt" | grep -qE "^Loading +Textures\\\\$name dimensions = " ||
        fail "the whole $name did not load"
    fi
  done
  ! grep -q "ReleaseTextures() FAILED" "$RUN/Logfile.txt" || fail "an empty texture slot reported as a release failure"
  [ "$(tr -d '\r' <"$RUN/Logfile.txt" | grep -v '^$' | tail -n 2 | paste -sd'|')" = "EXITING PROGRAM|End of Tonquarry Logfile" ] ||
    fail "the log does not close normally"
  echo "refused ${refused[*]} and a $logo logo; the others loaded, About showed its texts"
}

run_damaged lying Knob33a.bmp:header KnobNotch3-b.bmp:half LightMap9.bmp:short
run_damaged short Blackwood4.bmp:half KnobNotch3-a.bmp:lying Knob33a.bmp:short
echo "damaged files test passed"
