#!/usr/bin/env bash
# wine_output.sh COMMAND...: runs a test command with its output in a file, shown
# when it ends. Wine starts background processes of its own (the desktop, its
# services) from whichever program first needs them, and they inherit that
# program's output; ctest waits until its pipe is closed, so a test would seem to
# last until they end. With a file in between, only this script holds the pipe.
out=$(mktemp)
child=
finish() {
  cat "$out"
  rm -f "$out"
}
trap finish EXIT
trap '[ -n "$child" ] && kill "$child" 2>/dev/null; exit 143' TERM INT
"$@" >"$out" 2>&1 &
child=$!
wait "$child"
