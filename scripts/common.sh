# Shared by the build scripts: paths and the Wine settings for the Windows tests.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${TQ_BUILD_DIR:-$ROOT/build}
JOBS=$(nproc 2>/dev/null || echo 2)

wine64_path() {
  if command -v wine64 >/dev/null 2>&1; then command -v wine64
  elif [ -x /usr/lib/wine/wine64 ]; then echo /usr/lib/wine/wine64
  else echo "no wine64 found" >&2; return 1
  fi
}

# A private Wine prefix inside the build tree; no Mono or Gecko prompts.
# The prefix a caller chose stays known to the Wine test scripts.
CALLER_WINEPREFIX=${WINEPREFIX:-}
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# configure_and_build DIR [CMAKE ARGS...]: configures and builds everything, or only
# the targets listed in TQ_TARGETS.
configure_and_build() {
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@"
  # shellcheck disable=SC2086
  cmake --build "$dir" -j "$JOBS" ${TQ_TARGETS:+--target $TQ_TARGETS}
}

# The sanitizer builds trade some optimisation for compile time: -O1 keeps the
# tests fast enough and -g1 still gives file and line in every report.
SANITIZER_FLAGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
  "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG" -DTQ_WERROR=ON)
# The ThreadSanitizer build holds only the programs with threaded tests.
build_tsan() {
  TQ_TARGETS="tq-thread-tests" configure_and_build "$BUILD/native-tsan" "${SANITIZER_FLAGS[@]}" -DTQ_SANITIZE=thread
}
# windows_build DIR ARCH: a Windows build (i686 or x86_64) whose tests run under Wine.
windows_build() {
  # CMake keeps the compiler of a folder's first configure: a build made with
  # another one than the toolchain names (the earlier "posix" thread model) is
  # made anew.
  if [ -f "$BUILD/$1/CMakeCache.txt" ] &&
    ! grep -qs "^set(CMAKE_CXX_COMPILER \".*/$2-w64-mingw32-g++-win32\")" "$BUILD/$1"/CMakeFiles/*/CMakeCXXCompiler.cmake; then
    echo "windows_build: $1 was configured with another compiler; building it anew"
    rm -rf "${BUILD:?}/$1"
  fi
  configure_and_build "$BUILD/$1" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-$2-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DTQ_WERROR=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$(wine64_path)"
}

# kill_tree PID: ends a background job and everything it started.
kill_tree() {
  local child
  for child in $(pgrep -P "$1" 2>/dev/null); do kill_tree "$child"; done
  kill "$1" 2>/dev/null || true
}
# Background jobs listed in BACKGROUND_JOBS end with the display and Wine when the
# script exits, a failing stage included.
BACKGROUND_JOBS=()
stop_display_and_jobs() {
  local job
  for job in "${BACKGROUND_JOBS[@]}"; do kill_tree "$job"; done
  [ -z "${XVFB_PID:-}" ] || kill "$XVFB_PID" 2>/dev/null || true
  stop_wine
}

# Starts an X server without a screen on a free display for Windows programs that
# open windows, exports DISPLAY and stops the server when the script exits.
start_virtual_display() {
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  trap stop_display_and_jobs EXIT
  if ! wait_until 30 test -e "/tmp/.X11-unix/X$n"; then
    echo "Xvfb did not start on :$n in 30 s" >&2
    return 1
  fi
  export DISPLAY=":$n"
}

# The libFuzzer targets (fuzz/), built with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz; named tq-fuzz-NAME for each NAME here.
FUZZ_TARGETS=(wav bmp png numbers analyze align settings pages xwd utf8)
build_fuzzers() {
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTQ_WERROR=ON -DTQ_SANITIZE=address,undefined -DTQ_FUZZ=ON -DTQ_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BUILD/fuzz" -j "$JOBS" --target tq-fuzzers
}

# run_fuzzer NAME CORPUS [libFuzzer options...]: runs one target from the
# repository root (the command-line target's seeds name files there) on CORPUS,
# where new inputs go, and the checked-in seeds, which are never written to.
# Inputs that fail land in $BUILD/fuzz/crashes/NAME/. The status is the fuzzer's.
run_fuzzer() {
  local name=$1 corpus=$2; shift 2
  mkdir -p "$corpus" "$BUILD/fuzz/crashes/$name"
  (cd "$ROOT" && "$BUILD/fuzz/fuzz/tq-fuzz-$name" -artifact_prefix="$BUILD/fuzz/crashes/$name/" \
    -timeout=20 -rss_limit_mb=2560 "$@" "$corpus" "$ROOT/fuzz/seeds/$name")
}

# Keeps one Wine server, and the prefix's system processes, running for the whole
# test run, started apart from the tests with their output going nowhere. A server
# started by a test program inherits that program's output pipe and holds it open
# until the server ends, and ctest waits for the pipe: one test would then seem
# to run as long as every later test together.
WINESERVER_STARTED=
start_wine() {
  local wine64 server
  wine64=$(wine64_path)
  server="$(dirname "$wine64")/wineserver"
  # A prefix made while 32-bit programs could not run lacks its 32-bit half.
  if [ -d "$WINEPREFIX" ] && [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "Wine prefix $WINEPREFIX has no 32-bit half: making it afresh"
    "$server" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  mkdir -p "$WINEPREFIX"
  setsid "$server" -p </dev/null >/dev/null 2>&1 || true
  WINESERVER_STARTED=$server
  "$wine64" wineboot --init </dev/null >/dev/null 2>&1 || true
}
stop_wine() {
  [ -n "${WINESERVER_STARTED:-}" ] && "$WINESERVER_STARTED" -k 2>/dev/null || true
}

# ---------------------------------------------------------------------------
# The scripts that drive the program under Wine (tests/*_test.sh).

# wine_test_begin NAME... -- ARGS...: reads the script's named options from ARGS
# and fails unless each variable NAME got a value:
#   --program EXE            --installer SETUP         --build-dir BUILD_DIR
#   --driver-dll DLL         --driver-register REGISTER  --wine WINE
#   --recording WAV          --recording-96k WAV96      --bits BITS
#   --frame-tool FRAME       --window-info WINDOW_INFO  --dialog-driver DIALOG_DRIVER
#   --golden GOLDEN          --align-tool ALIGN
# Then: the prefix the caller set (or BUILD_DIR's own), failures reported through
# fail(), a display, and wine_test_cleanup when the script exits. The script adds
# what fail() shows with show_on_failure and its own clean-up as cleanup_more().
X11_KEY="HKCU\\Software\\Wine\\X11 Driver"
wine_test_begin() {
  local need=() name
  while [ $# -gt 0 ] && [ "$1" != -- ]; do need+=("$1"); shift; done
  shift || true
  while [ $# -gt 0 ]; do
    case $1 in
      --program) EXE=$2 ;;
      --installer) SETUP=$2 ;;
      --build-dir) BUILD_DIR=$2 ;;
      --driver-dll) DLL=$2 ;;
      --driver-register) REGISTER=$2 ;;
      --wine) WINE=$2 ;;
      --recording) WAV=$2 ;;
      --recording-96k) WAV96=$2 ;;
      --bits) BITS=$2 ;;
      --frame-tool) FRAME=$2 ;;
      --window-info) WINDOW_INFO=$2 ;;
      --dialog-driver) DIALOG_DRIVER=$2 ;;
      --recorder) RECORDER=$2 ;;
      --golden) GOLDEN=$2 ;;
      --align-tool) ALIGN=$2 ;;
      *) echo "FAIL: unknown option '$1'" >&2; exit 2 ;;
    esac
    [ $# -ge 2 ] || { echo "FAIL: $1 needs a value" >&2; exit 2; }
    shift 2
  done
  for name in "${need[@]}"; do
    [ -n "${!name:-}" ] || { echo "FAIL: the option for $name is missing" >&2; exit 2; }
  done
  export WINEPREFIX=${CALLER_WINEPREFIX:-$BUILD_DIR/wineprefix}
  # Windows audio reaches only the sound server a test names (TQ_PULSE_SERVER):
  # none otherwise, even where the machine runs one.
  export PULSE_SERVER=${TQ_PULSE_SERVER:-unix:$BUILD_DIR/no-sound-server}
  report_unchecked_failures
  # Wine manages windows unless a script says otherwise (the dialogs run); one
  # killed before its clean-up would leave the next script's windows unmanaged.
  "$WINE" reg delete "$X11_KEY" /v Managed /f >/dev/null 2>&1 || true
  [ -n "${DISPLAY:-}" ] || start_virtual_display
  trap wine_test_cleanup EXIT
}

# prepare_program_folder: the program, its textures and pages and the recording
# (guitar.wav) in the test's folder RUN, the demo driver registered as the outside
# driver "ASIO4ALL v2" playing that recording, and the installer's key pointing at
# RUN (in the 32-bit view, where the installer writes it, whatever the program's
# width). Sets RUN_WIN, DLL_WIN and DRIVER_KEY; VIEW is the program's registry view.
prepare_program_folder() {
  cp "$EXE" "$RUN/TonquarryTuner.exe"
  cp -r "$BUILD_DIR/Textures" "$BUILD_DIR/help" "$RUN/"
  cp "$WAV" "$RUN/guitar.wav"
  RUN_WIN=$("$WINE" winepath -w "$RUN" 2>/dev/null | tr -d '\r')
  DLL_WIN=$("$WINE" winepath -w "$DLL" 2>/dev/null | tr -d '\r')
  DRIVER_KEY="HKLM\\software\\asio\\ASIO4ALL v2"
  "$WINE" "$REGISTER" --description "ASIO4ALL v2" "$DLL_WIN" >/dev/null || fail "registering the demo driver"
  wine_reg add "$DRIVER_KEY" /v WavIn /d "$RUN_WIN\\guitar.wav" /f $VIEW
  wine_reg add "HKLM\\Software\\Tonquarry Multimedia Studios\\Tonquarry Redede Rizuz Ad" /v "Install Path" \
    /d "$RUN_WIN" /f /reg:32
}
# wine_reg ARGS...: Wine's reg with ARGS, tried twice. Under load the emulated
# reg.exe now and then fails to write at all: a fault of Wine's, which ends the run
# with its status (once_more_after_wine_fault runs it again), not a failed check.
wine_reg() {
  "$WINE" reg "$@" >/dev/null 2>>"$RUN/wine-stderr.txt" && return 0
  sleep 1
  "$WINE" reg "$@" >/dev/null 2>>"$RUN/wine-stderr.txt" && return 0
  echo "Wine's reg $1 failed twice (stderr in the Wine output); Wine's fault, not the program's" >&2
  exit "$WINE_FAULT_STATUS"
}
# program_run_folder NAME: RUN, the script's folder for the program (NAME-run.XXXXXX
# in the build folder), with the dialog driver's, the log's and Wine's output shown
# on failure; VIEW, the registry view of the build's width.
program_run_folder() {
  VIEW=/reg:$BITS
  RUN=$(mktemp -d "$BUILD_DIR/$1-run.XXXXXX")
  show_on_failure driver "$RUN/driver-stderr.txt"
  show_on_failure log "$RUN/Logfile.txt"
  show_on_failure wine "$RUN/wine-stderr.txt" 40
}
# launch_program: starts the program in RUN (PROGRAM_PID is Wine's launcher). The
# mark file tells whether the program wrote its log after this start.
launch_program() {
  touch "$RUN/.launched"
  (cd "$RUN" && exec "$WINE" TonquarryTuner.exe 2>>"$RUN/wine-stderr.txt") &
  PROGRAM_PID=$!
}
# Wine's launcher can end, now and then under the emulator, without the program
# having run at all: no window, and no log written, whose first line comes before
# anything else the program does.
never_ran() {
  [ -e "$RUN/.launched" ] && ! kill -0 "$PROGRAM_PID" 2>/dev/null && program_process_gone &&
    ! [ "$RUN/Logfile.txt" -nt "$RUN/.launched" ]
}
# program_ended SECONDS: the program has ended within SECONDS: Wine's launcher and
# the program's own process, which can outlive it; the next start must not meet
# the last one's window or have its log rewritten under the checks.
# program_pid: the program's process, the one whose folder is RUN (Wine starts it
# there; the 64-bit one's command line holds no path).
program_pid() {
  local pid
  for pid in $(pgrep -f 'TonquarryTuner\.exe'); do
    [ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" = "$RUN" ] && { echo "$pid"; return 0; }
  done
  return 1
}
program_process_gone() { ! pgrep -f "${RUN##*/}.TonquarryTuner\.exe" >/dev/null && ! program_pid >/dev/null; }
program_ended() { wait_for_exit "$PROGRAM_PID" "$1" && PROGRAM_PID= && wait_until "$1" program_process_gone; }

# show_on_failure LABEL FILE [LINES]: fail() shows FILE (its last LINES lines, or
# all), each line after "LABEL: ".
FAILURE_FILES=()
show_on_failure() { FAILURE_FILES+=("$1|$2|${3:-}"); }
# fail MESSAGE: reports a failed check with what the program left behind; ends
# the script.
fail() {
  local entry label file lines
  echo "FAIL: $*" >&2
  if [ -n "${PROGRAM_PID:-}" ]; then
    if kill -0 "$PROGRAM_PID" 2>/dev/null; then
      thread_states "$PROGRAM_PID" | sed 's/^/  program: /' >&2
      if xlib_deadlock "$PROGRAM_PID"; then
        echo "  the program's threads wait inside Xlib for each other (stacks above): Wine's deadlock, not the program's" >&2
        exit "$WINE_FAULT_STATUS"
      fi
    elif never_ran; then
      echo "  Wine's launcher ended without running the program: no log was written since the start" >&2
      exit "$WINE_FAULT_STATUS"
    else echo "  (the program had ended)" >&2; fi
  fi
  for entry in "${FAILURE_FILES[@]}"; do
    IFS='|' read -r label file lines <<<"$entry"
    [ -f "$file" ] || continue
    if [ -n "$lines" ]; then tail -n "$lines" "$file"; else cat "$file"; fi | sed "s/^/  $label: /" >&2
  done
  exit 1
}

# Wine 8 with libX11 1.8 can deadlock inside Xlib while a dialog is shown over a
# frame being presented: the window's thread waits in XSync for a reply, while
# Wine's Direct3D thread, in Xlib's error path for a drawable Wine has just
# replaced, waits for the window's thread. Neither waits on the program's code.
# xlib_deadlock PID: prints the threads' stacks and is true when they show exactly
# that. It needs gdb and a native build: under QEMU gdb sees only the emulator.
# Both end a run with this status: the fault is Wine's.
WINE_FAULT_STATUS=75
xlib_deadlock() {
  command -v gdb >/dev/null || return 1
  local stacks
  stacks=$(timeout 120 gdb -p "$1" -batch -ex "thread apply all bt 25" 2>/dev/null) || true
  grep -E '^(Thread|#)' <<<"$stacks" | sed 's/^/  stack: /' >&2
  grep -q ' in _XError ' <<<"$stacks" && grep -q ' in XSync ' <<<"$stacks"
}
# once_more_after_wine_fault "$0" "$@": first thing in a script that starts the
# program: runs the script, and once more when the run ended in one of Wine's
# faults above. A second one fails.
once_more_after_wine_fault() {
  [ -z "${TQ_INNER_RUN:-}" ] || return 0
  local status=0
  TQ_INNER_RUN=1 bash "$@" || status=$?
  if [ "$status" -eq "$WINE_FAULT_STATUS" ]; then
    echo "NOTE: Wine failed (above), not the program; the run goes once more" >&2
    status=0
    TQ_INNER_RUN=1 bash "$@" || status=$?
    [ "$status" -ne "$WINE_FAULT_STATUS" ] || status=1
  fi
  exit "$status"
}

# The program the script started, in the background: PROGRAM_PID while it runs.
PROGRAM_PID= DLL_WIN= RUN=
# wine_test_cleanup: at exit, whatever the result: ends the program, runs the
# script's cleanup_more, removes the company's registry key, the demo driver's
# registration, the run folder and the display the script started.
# start_sound_server WAV: a PulseAudio server of the caller's own, in a folder of
# its own, which Wine's audio reaches as the system's sound: two null sinks,
# "guitar", whose monitor is the default input and into which WAV plays over and
# over, and "out", the default output. Exports PULSE_SERVER; SOUND_DIR is the
# folder. stop_sound_server ends what it started, by process id.
# For a server that comes and goes under a running program: sound_server_place
# picks the folder and exports PULSE_SERVER without starting a server;
# sound_server_up WAV starts one there (again); sound_server_down ends it and its
# player and keeps the folder, so the program's PULSE_SERVER names the next one.
SOUND_DIR= SOUND_SERVER_PID= SOUND_PLAY_PID=
start_sound_server() {
  sound_server_place
  sound_server_up "$1"
}
sound_server_place() {
  SOUND_DIR=$(mktemp -d /tmp/tq-pulse.XXXXXX)
  export XDG_RUNTIME_DIR=$SOUND_DIR PULSE_SERVER=unix:$SOUND_DIR/native
}
sound_server_up() {
  local deadline
  pulseaudio --daemonize=no --exit-idle-time=-1 --disable-shm=yes -n --use-pid-file=no \
    -L "module-native-protocol-unix socket=$SOUND_DIR/native auth-anonymous=1" \
    -L "module-null-sink sink_name=guitar rate=48000" -L "module-null-sink sink_name=out rate=48000" \
    --log-target="file:$SOUND_DIR/pulse.log" &
  SOUND_SERVER_PID=$!
  deadline=$((SECONDS + 20))
  until pactl info >/dev/null 2>&1; do
    if [ $SECONDS -ge $deadline ] || ! kill -0 "$SOUND_SERVER_PID" 2>/dev/null; then
      echo "the sound server did not start" >&2
      cat "$SOUND_DIR/pulse.log" >&2 || true
      return 1
    fi
    sleep 0.2
  done
  pactl set-default-source guitar.monitor
  pactl set-default-sink out
  # A plain 44-byte header (PCM from byte 44): its samples are played as one
  # stream, over and over without a gap, as a string held ringing; any other file
  # is started afresh each time, with a short gap. The player runs in a process
  # group of its own, ended as one.
  local play="while paplay -d guitar \"\$0\"; do :; done"
  if [ "$(dd if="$1" bs=1 skip=36 count=4 2>/dev/null)" = data ] && [ "$(od -An -tu2 -j20 -N2 "$1" | tr -d ' ')" = 1 ]; then
    play="while tail -c +45 \"\$0\"; do :; done | pacat --raw -d guitar --format=s$(od -An -tu2 -j34 -N2 "$1" | tr -d ' ')le"
    play+=" --rate=$(od -An -tu4 -j24 -N4 "$1" | tr -d ' ') --channels=$(od -An -tu2 -j22 -N2 "$1" | tr -d ' ')"
  fi
  setsid bash -c "$play" "$1" >/dev/null 2>&1 &
  SOUND_PLAY_PID=$!
}
stop_sound_server() {
  sound_server_down
  [ -n "$SOUND_DIR" ] && rm -rf "$SOUND_DIR"
  SOUND_DIR=
}
sound_server_down() {
  if [ -n "$SOUND_PLAY_PID" ]; then
    kill -- "-$SOUND_PLAY_PID" 2>/dev/null || true
    wait "$SOUND_PLAY_PID" 2>/dev/null || true
    SOUND_PLAY_PID=
  fi
  if [ -n "$SOUND_SERVER_PID" ]; then
    kill "$SOUND_SERVER_PID" 2>/dev/null || true
    wait "$SOUND_SERVER_PID" 2>/dev/null || true
    SOUND_SERVER_PID=
  fi
}

# panel_matches SHOT GOLDEN REGION SHARE: the panel's picture (kept as SHOT.xwd)
# differs from the software device's GOLDEN.png (in GOLDEN) in under SHARE % of
# REGION, pixels compared as 3 x 3 means. Managed or not: unmanaged, the main
# window draws its own frame and the panel is the 583 x 212 child.
panel_matches() {
  local main client
  main=$(window_now "Tonquarry Guitar Tuner")
  [ -n "$main" ] || return 1
  client=$(xwininfo -id "$main" -children 2>/dev/null | awk '/ 583x212\+/ {print $1; exit}')
  xwd -id "${client:-$main}" -out "$1.xwd" 2>/dev/null &&
    "$FRAME" compare "$1.xwd" "$GOLDEN/$2.png" --smooth --tolerance 32 --region "$3" --max-share "$4" >/dev/null 2>&1
}
# wait_for_panel SHOT WHAT GOLDEN REGION SHARE: panel_matches within a minute,
# else fails saying there is no WHAT, with the picture kept as SHOT.png.
wait_for_panel() {
  wait_until 60 panel_matches "$1" "$3" "$4" "$5" && return 0
  "$FRAME" convert "$1.xwd" "$1.png" >/dev/null || true
  fail "no $2 on the panel in 60 s ($1.png)"
}
# a2_on_panel SHOT: the note of the A2 recording where the panel shows the note
# ("E2", "G3" or none differ in over 6 % of it, "A2" in under 1 %). wait_for_a2
# SHOT WHEN: the same within a minute.
a2_on_panel() { panel_matches "$1" tune_up_a_string 502,70,30,16 2; }
wait_for_a2() { wait_for_panel "$1" "A2 $2" tune_up_a_string 502,70,30,16 2; }

wine_test_cleanup() {
  trap - ERR  # the result is decided; cleaning up reports nothing
  [ -n "$PROGRAM_PID" ] && stop_program "$PROGRAM_PID" || true
  if declare -F cleanup_more >/dev/null; then cleanup_more || true; fi
  stop_sound_server
  "$WINE" reg delete "HKLM\\Software\\Tonquarry Multimedia Studios" /f /reg:32 >/dev/null 2>&1 || true
  [ -n "$DLL_WIN" ] && "$WINE" "$REGISTER" --unregister "$DLL_WIN" >/dev/null 2>&1 || true
  [ -n "$RUN" ] && rm -rf "$RUN"
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}

# A command that fails
# outside the script's own checks ends the script too, so it is named and reported
# through the script's fail(), with the program's output, rather than ending it
# without a word. A failure inside $(...) is named there and then by its caller.
report_unchecked_failures() {
  set -E
  trap 'status=$?
    if [ "$BASHPID" != "$$" ]; then echo "FAIL: line $LINENO: $BASH_COMMAND (status $status)" >&2; exit "$status"; fi
    trap - ERR; fail "line $LINENO: $BASH_COMMAND (status $status)"' ERR
}

# wait_until SECONDS COMMAND...: runs COMMAND every fifth of a second until it
# succeeds; fails once SECONDS have passed. Waits are deadlines, never counts of
# tries, which last longer or shorter with the machine's speed.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# Windows of Wine programs on the X display (xdotool). Wine may replace the X
# window behind a window while the program runs, so a window is looked up by its
# title whenever it is used.
# window_now TITLE: the id of a visible window with exactly this title; empty when
# there is none.
window_now() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true; }
# window_of TITLE SECONDS: the same, waiting up to SECONDS; fails when none
# appears, naming the visible ones.
window_of() {
  local w deadline=$((SECONDS + $2))
  while :; do
    w=$(window_now "$1")
    [ -n "$w" ] && { echo "$w"; return 0; }
    [ "$SECONDS" -lt "$deadline" ] || break
    sleep 0.2
  done
  echo "no window \"$1\" in $2 s; visible: $(visible_windows)" >&2
  return 1
}
# The titles of the visible windows, for reports.
visible_windows() {
  xdotool search --onlyvisible --name '.' getwindowname %@ 2>/dev/null | sed 's/.*/"&"/' | paste -sd' ' || true
}
# no_window TITLE: true while no visible window has exactly this title.
no_window() { ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
# press TITLE KEY...: focuses the visible window with this title and presses the
# keys in it; fails when no such window takes the focus within 30 s.
press() {
  wait_until 30 focus_window "$1" || { echo "no window \"$1\" to press keys in; visible: $(visible_windows)" >&2; return 1; }
  sleep 0.3
  xdotool key --clearmodifiers "${@:2}"
}
focus_window() {
  local w
  w=$(window_now "$1")
  [ -n "$w" ] && { xdotool windowfocus --sync "$w" 2>/dev/null || xdotool windowfocus "$w" 2>/dev/null; }
}
# wait_for_exit PID SECONDS: waits for a background job to end; fails if it does not.
wait_for_exit() {
  wait_until "$2" process_ended "$1" || return 1
  wait "$1" 2>/dev/null || true
}
process_ended() { ! kill -0 "$1" 2>/dev/null; }
# thread_states PID: one line per thread of a running program (its name, state,
# kernel wait and system call), for the report of a program that stopped answering.
thread_states() {
  local task
  for task in /proc/"$1"/task/*; do
    [ -r "$task/stat" ] || continue
    echo "thread ${task##*/} $(cat "$task/comm" 2>/dev/null) state $(awk '{print $3}' "$task/stat" 2>/dev/null)" \
      "wchan $(cat "$task/wchan" 2>/dev/null) syscall $(cut -d' ' -f1 "$task/syscall" 2>/dev/null)"
  done
}
# stop_program PID: ends a program the script started in the background and waits
# until it has gone, so that no test leaves one behind.
stop_program() {
  kill "$1" 2>/dev/null || return 0
  wait_for_exit "$1" 30 || { kill -KILL "$1" 2>/dev/null; wait "$1" 2>/dev/null || true; }
}
