#!/usr/bin/env bash
# The installer packs the program and the contents of Textures/ and help/, and
# nothing else from the build folder: not the copies of those folders that a test
# run keeps in it. Packs a made-up build folder and reads makensis's file list.
#   installer_files_test.sh MAKENSIS INSTALLER_SCRIPT
set -euo pipefail
MAKENSIS=$1 SCRIPT=$2
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
mkdir -p "$DIR/Textures/sub" "$DIR/help" "$DIR/program-run.x/Textures" "$DIR/program-run.x/help"
touch "$DIR/TonquarryTuner.exe" "$DIR/Textures/a.bmp" "$DIR/Textures/sub/b.bmp" "$DIR/help/intro.htm" \
  "$DIR/program-run.x/Textures/stray.bmp" "$DIR/program-run.x/help/stray.htm" "$DIR/stray.txt"
out=$("$MAKENSIS" -V4 -DVERSION=1.0 -DBUILD_DIR="$DIR" -DOUT_FILE="$DIR/setup.exe" "$SCRIPT") || {
  echo "FAIL: makensis failed" >&2; echo "$out" | tail -n 20 >&2; exit 1; }
packed=$(grep -oE '^File: "[^"]+"' <<<"$out" | cut -d'"' -f2 | sort | tr '\n' ' ')
[ "$packed" = "TonquarryTuner.exe a.bmp b.bmp intro.htm " ] || { echo "FAIL: packed $packed" >&2; exit 1; }
echo "packed: $packed"
