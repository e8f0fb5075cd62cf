#!/usr/bin/env bash
# The Options dialog and the About box of TonquarryTuner.exe under Wine with the
# demo ASIO driver registered as "ASIO4ALL v2", worked through their controls by
# tq-dialog-driver:
#  1. a start with blocks of 256 (from Settings.dat): the tuner reads the played A2;
#     Options shows the driver, the channels, 48000 and the thumb at 16 (256 is not
#     in the table); changing only the channels restarts nothing; 96000 and 1200
#     restart ASIO at 96000 with blocks of 1200 and the tuner still reads A2;
#     Cancel after choosing a driver; many OK-restarts, after which the audio still
#     runs; About with its texts and the logo; the settings written at shutdown;
#  2. the next start reads 96000 from Settings.dat, its memory counters at shutdown
#     are those of the run with the restarts; About without its logo;
#  3. with a sound server for Windows audio: choosing "Windows Audio" moves the
#     stream to it at once, and the next start uses it; a reference pitch out of
#     range is refused, 442 is taken and the panel's Ref follows it;
#  4. without a driver that starts, the lists show "None available" and OK keeps
#     the driver and the frequency.
#   dialogs_test.sh --program EXE --driver-dll DLL --driver-register EXE --build-dir DIR
#     --wine WINE --recording WAV --recording-96k WAV --bits 32|64 --frame-tool EXE
#     --dialog-driver EXE --golden DIR
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
once_more_after_wine_fault "$0" "$@"
wine_test_begin EXE DLL REGISTER BUILD_DIR WINE WAV WAV96 BITS FRAME DIALOG_DRIVER GOLDEN -- "$@"

program_run_folder dialogs
cleanup_more() { "$WINE" reg delete "$X11_KEY" /v Managed /f >/dev/null 2>&1; }

# Without a window manager Wine waits 2 s for one whenever a managed window (a
# dialog) is hidden; unmanaged windows close at once.
"$WINE" reg add "$X11_KEY" /v Managed /d N /f >/dev/null

prepare_program_folder
cp "$WAV96" "$RUN/guitar96.wav"
"$WINE" reg add "HKCU\\Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner" /v "First Run Done" \
  /t REG_DWORD /d 1 /f >/dev/null

# Each start writes a log of its own: the last one's lines must not answer for it.
start_program() {
  rm -f "$RUN/Logfile.txt"
  launch_program
  window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window"
}
# Wine's launcher and the program's own process, which can outlive it.
quit_program() {
  press "Tonquarry Guitar Tuner" q
  program_ended 120 || fail "'q' did not quit"
}
# drive COMMAND...: tq-dialog-driver's output, one line per value, '|' between.
drive() {
  "$WINE" "$DIALOG_DRIVER" "$@" 2>>"$RUN/driver-stderr.txt" | tr -d '\r' | paste -sd'|' || fail "tq-dialog-driver $*"
}
expect() { [ "$2" = "$3" ] || fail "$1: '$2', expected '$3'"; }
log_lines() { tr -d '\r' < "$RUN/Logfile.txt" | grep -c -E -- "$1" || true; }
has_log_lines() { [ "$(log_lines "$1")" -ge "$2" ]; }
wait_for_log() {
  wait_until 60 has_log_lines "$1" "$2" || fail "no ${2}th log line matching '$1' in 60 s"
}
expect_a2() { wait_for_a2 "$BUILD_DIR/dialogs-$1" "$1"; }
# The Ref row's last digits against the software device's at A4 = 442: the low
# E's 82.78 Hz. Under Wine's fonts "78" differs in about 3.5 % of that place, the
# 440 Hz "41" in over 11 %.
expect_ref_442() {
  wait_for_panel "$BUILD_DIR/dialogs-$1" "Ref of 82.78 Hz $1" low_e_at_442 490,102,20,16 7
}

OPTIONS="open 283 16 Options"
ABOUT_TITLE="About Tonquarry Redede Rizuz Ad"

# --- 1. Blocks of 256 from the settings file.
printf '48000\r\n256\r\n1\r\n0\r\n0\r\n0\r\n0\r\n' > "$RUN/Settings.dat"
start_program
wait_for_log 'g_iBlockSize = 256$' 1
expect_a2 256

# A second click queued behind the one that opens the Options (a quick double
# click) must not open a second dialog inside the first: Cancel closes them all.
SHOWN=$(drive click 283 16 click 283 16 dialog Options press 2 closed count Options)
expect "Options dialogs left after a double click and Cancel" "$SHOWN" 0

SHOWN=$(drive $OPTIONS items 1040 items 1041 items 1042 items 1043 items 1039 thumb 1000 text 1047)
expect "Options at start" "$SHOWN" \
  "*Asio4All v2|Windows Audio|*Mono|Stereo|*Set in Asio4All Control Panel|*Set in Asio4All Control Panel|12000|24000|*48000|96000|192000|16|256"
xwd -id "$(window_of Options 30)" -out "$BUILD_DIR/dialogs-options.xwd" && "$FRAME" convert "$BUILD_DIR/dialogs-options.xwd" "$BUILD_DIR/dialogs-options.png" >/dev/null
# Only the channel mode: no restart. The thumb stays at 16, which requests 150.
drive dialog Options select 1041 1 press 1 closed >/dev/null
wait_for_log '^g_iRequestedBlockSize =  150$' 1
[ "$(log_lines '^CAsio::Release\(\)$')" = 0 ] || fail "changing only the channels restarted the audio"

# 96000 and 1200: ASIO restarts at once, with the 96 kHz recording.
"$WINE" reg add "$DRIVER_KEY" /v WavIn /d "$RUN_WIN\\guitar96.wav" /f $VIEW >/dev/null
SHOWN=$(drive $OPTIONS items 1041 select 1039 3 slide 1000 80 text 1047 press 1 closed)
expect "Options after the channels" "$SHOWN" "Mono|*Stereo|1200"
wait_for_log 'g_iBlockSize = 1200$' 1
LOG=$(tr -d '\r' < "$RUN/Logfile.txt" | tr '\n' '~')
grep -q -E '~g_iRequestedBlockSize =  1200~CAsio::Release\(\)~(.*~)?CAsio::Init\(\)~(.*~)?CAsio::InitAsioStaticData\(\) using sampleRate = 96000\.0+~.*g_iBlockSize = 1200~' <<<"$LOG" ||
  fail "no ASIO restart at 96000 with blocks of 1200"
expect_a2 96000

# Cancel after choosing a driver (the only one offered here) keeps everything.
SHOWN=$(drive $OPTIONS items 1039 thumb 1000 text 1047 select 1040 0 press 2 closed)
expect "Options after the restart" "$SHOWN" "12000|24000|48000|*96000|192000|80|1200"
[ "$(log_lines '^CAsio::Release\(\)$')" = 1 ] || fail "Cancel restarted the audio"

# Fifty restarts while the recording plays; then the audio still runs: the driver
# records the outputs of its last stream. The 32-bit build runs emulated on
# machines without 32-bit support, a second or more per restart: it restarts ten
# times, the 64-bit build and the native ThreadSanitizer test fifty.
RESTARTS=50
[ "$BITS" = 32 ] && RESTARTS=10
drive restarts $((RESTARTS - 1)) >/dev/null
"$WINE" reg add "$DRIVER_KEY" /v WavOut /d "$RUN_WIN\\out.wav" /f $VIEW >/dev/null
drive restarts 1 >/dev/null
wait_for_log 'g_iBlockSize = 1200$' $((RESTARTS + 1))
expect_a2 after-restarts

SHOWN=$(drive open 469 16 "$ABOUT_TITLE" text 1046 text 1055 text 1056)
[[ "$SHOWN" =~ ^Tonquarry\ Guitar\ Tuner\ -\ version\ 1\.3\|Sound\ device:\ [^|]*\|Video\ device:\ \ [^\ ][^|]*$ ]] ||
  fail "About shows '$SHOWN'"
# The logo at its place in dialog units, 77, 132: client pixel 116, 198 with Wine's
# font of 6 x 12 pixels for 4 x 8 units, clear of the buttons below; in the
# unmanaged dialog's own frame 3 right and 22 down. Found in a picture of the box,
# pixel for pixel.
SHOT="$BUILD_DIR/dialogs-about"
logo_shown() {
  xwd -id "$(window_now "$ABOUT_TITLE")" -out "$SHOT.xwd" 2>/dev/null &&
    "$FRAME" find "$SHOT.xwd" "$RUN/Textures/AsioLogo.bmp" >"$SHOT.txt"
}
wait_until 30 logo_shown || true
"$FRAME" convert "$SHOT.xwd" "$SHOT.png" >/dev/null
expect "the logo in the About box ($SHOT.png)" "$(cat "$SHOT.txt")" "119 220 78 48"
drive dialog "$ABOUT_TITLE" press 1 closed >/dev/null
quit_program
[ -s "$RUN/out.wav" ] && [ "$(stat -c %s "$RUN/out.wav")" -gt 100000 ] || fail "no audio after $RESTARTS restarts"
grep -q FAILED "$RUN/Logfile.txt" && fail "a FAILED line in the log"
expect "Settings.dat" "$(tr -d '\r' < "$RUN/Settings.dat" | tr '\n' ' ')" "96000 1200 1 0 0 1 0 "
MEMORY=$(tr -d '\r' < "$RUN/Logfile.txt" | grep -E '^g_dwMem(Block)?Count +=' | tail -2 | paste -sd' ')

# --- 2. The next start asks for 96000; without the logo the About box keeps its texts.
mv "$RUN/Textures/AsioLogo.bmp" "$RUN/AsioLogo.bmp"
start_program
wait_for_log '^CAsio::InitAsioStaticData\(\) using sampleRate = 96000' 1
SHOWN=$(drive open 469 16 "$ABOUT_TITLE" text 1046 text 1055 text 1056 press 1 closed)
[[ "$SHOWN" =~ ^Tonquarry\ Guitar\ Tuner\ -\ version\ 1\.3\|Sound\ device:\ [^|]*\|Video\ device:\ \ [^\ ][^|]*$ ]] ||
  fail "About without its logo shows '$SHOWN'"
wait_for_log '^AboutDlgProc\(\) FAILED to load Textures\\AsioLogo\.bmp: no such file$' 1
quit_program
expect "memory counters after $RESTARTS restarts" "$MEMORY" \
  "$(tr -d '\r' < "$RUN/Logfile.txt" | grep -E '^g_dwMem(Block)?Count +=' | tail -2 | paste -sd' ')"

# --- 3. Windows audio chosen in Options while ASIO runs: the stream moves to it at
# once, the tuner reads the recording the sound server plays, and the next start
# goes to Windows audio without trying ASIO.
start_sound_server "$RUN/guitar.wav" || fail "the sound server did not start"
start_program
wait_for_log '^CAsio::InitAsioStaticData\(\) using sampleRate = 96000' 1
SHOWN=$(drive $OPTIONS select 1040 1 items 1040 items 1042 items 1043 items 1039 press 1 closed)
[[ "$SHOWN" =~ ^Asio4All\ v2\|\*Windows\ Audio\|\*Default\ input\ device(\|[^|*]+)*\|\*Default\ output\ device(\|[^|*]+)*\|44100\|48000\|88200\|\*96000\|176400\|192000$ ]] ||
  fail "Options with Windows Audio chosen shows '$SHOWN'"
wait_for_log '^CWasapi::Init\(\) (shared|exclusive) mode' 1
[ "$(log_lines '^CAsio::Release\(\)$')" -ge 1 ] || fail "ASIO was not released for Windows audio"
expect_a2 windows-audio
quit_program
expect "Settings.dat after choosing Windows audio" "$(tr -d '\r' < "$RUN/Settings.dat" | sed -n 3p)" 3
start_program
wait_for_log '^CWasapi::Init\(\) (shared|exclusive) mode' 1
[ "$(log_lines '^CAsio::Init\(\)$')" = 0 ] || fail "the start after choosing Windows audio tried ASIO"
expect_a2 windows-audio-next-start
# A reference pitch out of range is refused and the dialog stays open on it; 442
# is taken, the stream restarts and the low E's target follows, also at the next
# start.
SHOWN=$(drive $OPTIONS text 1052 type 1052 480.5 press 1 dialog "Reference pitch" press 1 gone dialog Options \
  text 1052 type 1052 442 press 1 closed)
expect "Options' reference pitch" "$SHOWN" "440.0|480.5"
wait_for_log '^OptionsDlgProc\(\) reference pitch refused: 480\.5$' 1
wait_for_log '^OptionsOk\(\) reference A4 = 442\.0 Hz$' 1
wait_for_log '^CWasapi::Init\(\) (shared|exclusive) mode' 2
expect_ref_442 reference-442
quit_program
expect "Settings.dat's reference line" "$(tr -d '\r' < "$RUN/Settings.dat" | sed -n 8p)" "reference_a4=442.0"
start_program
expect_ref_442 reference-442-next-start
expect_a2 reference-442-next-start
quit_program
grep -q FAILED "$RUN/Logfile.txt" && fail "a FAILED line in the log with Windows audio"
stop_sound_server

# --- 4. No driver runs (no ASIO driver, and no sound server for Windows audio):
# Windows audio is offered but not chosen, its lists say "None available", and OK
# keeps the driver and the frequency read at start (48000, the rate Windows audio
# ran at in the run before).
"$WINE" "$REGISTER" --unregister "$DLL_WIN" >/dev/null || fail "unregistering the demo driver"
start_program
drive dialog "Audio failed to start" press 1 closed >/dev/null
SHOWN=$(drive $OPTIONS items 1040 items 1041 items 1042 items 1043 items 1039 select 1039 0 press 1)
expect "Options without a driver" "$SHOWN" "Windows Audio|Mono|*Stereo|*None available|*None available|*None available"
# The restart finds no driver again and says so before the dialog closes.
drive dialog "Audio failed to start" press 1 closed >/dev/null
wait_until 60 no_window Options || fail "the Options dialog did not close (visible: $(visible_windows))"
quit_program
expect "Settings.dat without a driver" "$(tr -d '\r' < "$RUN/Settings.dat" | tr '\n' ' ')" \
  "48000 1200 2 0 0 1 0 reference_a4=442.0 "
echo "dialogs test passed"
