#!/usr/bin/env bash
# What differs between Windows versions, with the demo ASIO driver registered as
# "ASIO4ALL v2":
# - Windows XP: listing the kernel-streaming devices fails (Wine has none); the
#   program keeps running on ASIO and logs why kernel streaming is not offered.
# - The Mixer button starts the volume mixer's recording controls on XP and the
#   Sound control panel's Recording page on Windows 6.1. The recorder stands in for
#   both system programs and writes down the command line that started it.
#   versions_test.sh --program EXE --driver-dll DLL --driver-register EXE --build-dir DIR
#     --wine WINE --recording WAV --bits 32|64 --dialog-driver EXE --recorder EXE
set -euo pipefail
# shellcheck source=../scripts/common.sh
source "$(dirname "$0")/../scripts/common.sh"
wine_test_begin EXE DLL REGISTER BUILD_DIR WINE WAV BITS DIALOG_DRIVER RECORDER -- "$@"

VIEW=/reg:$BITS
RUN=$(mktemp -d "$BUILD_DIR/versions-run.XXXXXX")
show_on_failure log "$RUN/Logfile.txt"
show_on_failure wine "$RUN/wine-stderr.txt" 40
show_on_failure commands "$RUN/commands.txt"
NT_KEY="HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion"
# The system folder a program of this width sees as its own.
SYSTEM_DIR="$WINEPREFIX/drive_c/windows/$([ "$BITS" = 32 ] && echo syswow64 || echo system32)"
cleanup_more() {
  [ -n "${ORIG_VERSION:-}" ] && "$WINE" reg add "$NT_KEY" /v CurrentVersion /d "$ORIG_VERSION" /f $VIEW >/dev/null 2>&1
  [ -f "$RUN/control.exe.orig" ] && cp "$RUN/control.exe.orig" "$SYSTEM_DIR/control.exe"
  rm -f "$SYSTEM_DIR/sndvol32.exe"
}

"$WINE" wineboot --init >/dev/null 2>&1 || true
prepare_program_folder
printf '48000\r\n1200\r\n1\r\n0\r\n0\r\n0\r\n0\r\n' > "$RUN/Settings.dat"
"$WINE" reg add "HKCU\\Software\\Tonquarry Multimedia Studios\\Tonquarry Guitar Tuner" /v "First Run Done" /t REG_DWORD /d 1 /f \
  >/dev/null
ORIG_VERSION=$("$WINE" reg query "$NT_KEY" /v CurrentVersion $VIEW 2>/dev/null | tr -d '\r' | awk '$1 == "CurrentVersion" {print $3}')

# The recorder in place of both system programs; Wine's own control.exe would be
# started instead of a native one without the override.
cp "$SYSTEM_DIR/control.exe" "$RUN/control.exe.orig"
cp "$RECORDER" "$SYSTEM_DIR/control.exe"
cp "$RECORDER" "$SYSTEM_DIR/sndvol32.exe"
export TQ_COMMAND_LOG="$RUN_WIN\\commands.txt"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;control.exe=n"

log_has() { tr -d '\r' < "$RUN/Logfile.txt" | grep -q -E -- "$1"; }
commands_seen() { [ -s "$RUN/commands.txt" ]; }
# The panel takes clicks once its first frame is drawn: clicked until something started.
click_mixer() { "$WINE" "$DIALOG_DRIVER" click 531 198 >/dev/null 2>&1; wait_until 2 commands_seen; }
# run_version VERSION: starts the program as Windows VERSION, waits for ASIO and
# clicks the Mixer button.
run_version() {
  "$WINE" reg add "$NT_KEY" /v CurrentVersion /d "$1" /f $VIEW >/dev/null
  rm -f "$RUN/commands.txt"
  launch_program
  window_of "Tonquarry Guitar Tuner" 120 >/dev/null || fail "no main window as Windows $1"
  wait_until 60 log_has '^CAsio::Init\(\) g_fSamplingFreq =' || fail "ASIO did not start as Windows $1"
  wait_until 60 click_mixer || fail "the Mixer button started nothing as Windows $1"
}
quit_program() {
  press "Tonquarry Guitar Tuner" q
  program_ended 120 || fail "'q' did not quit as Windows $1"
  [ "$(tr -d '\r' < "$RUN/Logfile.txt" | grep -v '^$' | tail -n 2 | tr '\n' '|')" = "EXITING PROGRAM|End of Tonquarry Logfile|" ] ||
    fail "the log does not end with EXITING PROGRAM and the footer as Windows $1"
}

# --- Windows XP with ASIO: no message, no quit; kernel streaming is left out.
run_version 5.1
xdotool search --onlyvisible --name "^Audio sampling failed\$" >/dev/null 2>&1 &&
  fail "a kernel-streaming message on Windows XP although ASIO runs"
log_has "^EnumKsDeviceNames\\(\\) WDM KS couldn't find a compatible recording filter\\.  hr = 0x[0-9a-f]{8} FAILED\$" ||
  fail "the kernel-streaming failure is not logged on Windows XP"
log_has '^EnumAudioDrivers\(\) kernel streaming not offered' || fail "the log does not say kernel streaming is left out"
log_has '^CaptureThreadProc\(\) FAILED' && fail "the kernel-streaming failure was reported as the audio thread's"
tr -d '\r' < "$RUN/commands.txt" | grep -qiE 'system32\\sndvol32\.exe"? +-r$' ||
  fail "the Mixer button on Windows XP did not start sndvol32.exe -r: $(cat "$RUN/commands.txt")"
quit_program 5.1

# --- Windows 7: the Recording page of the Sound control panel.
run_version 6.1
tr -d '\r' < "$RUN/commands.txt" | grep -qiE 'system32\\control\.exe"? +mmsys\.cpl,,1$' ||
  fail "the Mixer button on Windows 6.1 did not start control.exe mmsys.cpl,,1: $(cat "$RUN/commands.txt")"
grep -q 'OpenRecordingMixer() .*FAILED' "$RUN/Logfile.txt" && fail "the mixer's start logged as failed"
quit_program 6.1
echo "versions test passed"
