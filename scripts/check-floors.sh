#!/usr/bin/env bash
# Checks that the source tree reads bottom-up: a file includes only headers of its
# own room or of a room on a lower floor, so no include runs up and the rooms form
# no circle. Prints every include against the floors and fails when there is one.
# The floors, bottom to top (the README's floor plan says what each room holds):
set -euo pipefail
FLOORS=(
  "base"
  "render"
  "render/software render/d3d"
  "dsp"
  "tuner"
  "engine"
  "panel"
  "audio"
  "audio/asio audio/ks audio/wasapi"
  "app"
  "tools drivers/demo-asio"
  "fuzz tests"
  "tests/ks"
)
cd "$(dirname "$0")/.."

declare -A floor_of=()
for i in "${!FLOORS[@]}"; do
  for room in ${FLOORS[$i]}; do floor_of[$room]=$i; done
done

bad=0
report() { echo "check-floors: $*" >&2; bad=1; }
while IFS= read -r file; do
  room=$(dirname "$file")
  if [ -z "${floor_of[$room]+x}" ]; then
    report "$file: the room $room is on no floor (add it to scripts/check-floors.sh and the README's floor plan)"
    continue
  fi
  while IFS=: read -r line header; do
    target=$(dirname "$header")
    [ "$target" = "$room" ] && continue
    if [ -z "${floor_of[$target]+x}" ]; then
      report "$file:$line includes $header, in no room on a floor"
    elif [ "${floor_of[$target]}" -gt "${floor_of[$room]}" ]; then
      report "$file:$line includes $header: $room (floor ${floor_of[$room]}) may not include $target (floor ${floor_of[$target]})"
    elif [ "${floor_of[$target]}" -eq "${floor_of[$room]}" ]; then
      report "$file:$line includes $header: $room and $target share floor ${floor_of[$room]}, where rooms include only themselves"
    fi
  done < <(awk '/^[ \t]*#[ \t]*include[ \t]+"[^"]+\/[^"]+"/ {
    h = $0; sub(/^[^"]*"/, "", h); sub(/".*/, "", h); print FNR ":" h }' "$file")
done < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h')

if [ "$bad" -ne 0 ]; then
  echo "check-floors: includes run against the floors (see above)" >&2
  exit 1
fi
echo "check-floors: ${#FLOORS[@]} floors, no include runs up or across"
