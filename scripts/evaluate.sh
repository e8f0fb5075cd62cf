#!/usr/bin/env bash
# Runs tq-analyze over a folder of recordings named like "steel-E2+30c.wav"
# (timbre, note of a standard-tuning string, detuning in cents) and counts how
# often the read-out shows the right note and, for detuned files, the right word.
# Usage: scripts/evaluate.sh FOLDER [tq-analyze options, e.g. --input-gain 5]
set -euo pipefail
source "$(dirname "$0")/common.sh"
folder=${1:?usage: evaluate.sh FOLDER [options]}
shift
analyze="$BUILD/native-release/tq-analyze"
[ -x "$analyze" ] || configure_and_build "$BUILD/native-release" -DCMAKE_BUILD_TYPE=Release -DTQ_BUILD_TESTS=OFF >/dev/null

total=0 notes=0 words=0 detuned=0
for f in "$folder"/*.wav; do
  name=$(basename "$f" .wav)
  note=$(sed -E 's/^[a-z]+-([A-G][0-9]).*/\1/' <<<"$name")
  cents=$(sed -E 's/.*([+-][0-9]+)c$/\1/' <<<"$name")
  case $note in E2) s=0 ;; A2) s=1 ;; D3) s=2 ;; G3) s=3 ;; B3) s=4 ;; E4) s=5 ;; *) continue ;; esac
  out=$("$analyze" "$@" --string "$s" "$f")
  got=$(sed -nE 's/^stable reading: .*\(([A-G#0-9]+)\).*/\1/p' <<<"$out")
  word=$(sed -nE 's/^verdict: (.*)/\1/p' <<<"$out")
  want=""
  if [ "${cents#+}" != "0" ] && [ "$cents" != "-0" ]; then
    if [ "${cents:0:1}" = "+" ]; then want="tune down"; else want="tune up"; fi
  fi
  total=$((total + 1))
  mark="ok"
  if [ "$got" = "$note" ]; then notes=$((notes + 1)); else mark="WRONG NOTE"; fi
  if [ -n "$want" ]; then
    detuned=$((detuned + 1))
    if [ "$word" = "$want" ]; then words=$((words + 1)); elif [ "$mark" = ok ]; then mark="WRONG WORD"; fi
  fi
  printf '%-16s %-6s %-10s %s\n' "$name" "${got:-none}" "${word}" "$mark"
done
echo "right note: $notes of $total; right word on detuned files: $words of $detuned"
