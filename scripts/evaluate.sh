#!/usr/bin/env bash
# Runs tq-analyze over a folder of recordings named like "steel-E2+30c.wav"
# (family, note of a standard-tuning string, detuning in cents) at several input
# gains and prints, per gain, family and string:
#   - the share of blocks that carry a pitch from 0.4 s on and read within 50
#     cents of the string as played (its note moved by the file's cents);
#   - how many recordings 30 and 10 cents out show the right word ("tune up"
#     when flat, "tune down" when sharp) as their most frequent lit word;
#   - the median time of the first pitch;
#   - how many recordings read more than 50 cents off the string before 0.4 s (the
#     attack included), and the median and 90th percentile (nearest rank) of the
#     time of the first reading within 50 cents.
# Usage: scripts/evaluate.sh FOLDER [--gains "0.5 1 2 5"] [tq-analyze options]
set -euo pipefail
source "$(dirname "$0")/common.sh"
folder=${1:?usage: evaluate.sh FOLDER [--gains LIST] [tq-analyze options]}
shift
gains="0.5 1 2 5"
if [ "${1:-}" = "--gains" ]; then gains=${2:?--gains needs a list}; shift 2; fi
for a in "$@"; do
  # The shared recordings are tuned to A4 = 440 Hz, and their figures are judged so.
  [ "$a" != --reference ] || { echo "evaluate.sh: the recordings are tuned to A4 = 440 Hz; --reference is not taken" >&2; exit 2; }
done
analyze="$BUILD/native-release/tq-analyze"
[ -x "$analyze" ] || configure_and_build "$BUILD/native-release" -DCMAKE_BUILD_TYPE=Release -DTQ_BUILD_TESTS=OFF >/dev/null

rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
for g in $gains; do
  : >"$rows"
  for f in "$folder"/*.wav; do
    name=$(basename "$f" .wav)
    family=${name%%-*}
    note=$(sed -E 's/^[a-z]+-([A-G][0-9]).*/\1/' <<<"$name")
    cents=$(sed -E 's/.*([+-][0-9]+)c$/\1/' <<<"$name")
    case $note in
      E2) s=0 hz=82.4069 ;; A2) s=1 hz=110.0 ;; D3) s=2 hz=146.8324 ;;
      G3) s=3 hz=195.9977 ;; B3) s=4 hz=246.9417 ;; E4) s=5 hz=329.6276 ;;
      *) continue ;;
    esac
    want=""
    case $cents in +0 | -0 | 0) ;; +*) want="tune down" ;; -*) want="tune up" ;; esac
    # One line per recording: family note pitched near word-ok first-pitch name top-word cents
    "$analyze" "$@" --csv --input-gain "$g" --string "$s" "$f" |
      awk -F, -v fam="$family" -v note="$note" -v name="$name" -v want="$want" -v detune="${cents#[+-]}" \
          -v played="$(awk -v h="$hz" -v c="$cents" 'BEGIN { printf "%.6f", h * 2 ^ (c / 1200) }')" '
        NR == 1 { next }
        $3 >= 1 && first == "" { first = $1 }
        $3 >= 1 {
          cents = 1200 * log($3 / played) / log(2)
          if (cents < 0) cents = -cents
          if (cents <= 50 && right == "") right = $1
          if (cents > 50 && $1 < 0.4) early = 1
        }
        $3 >= 1 && $1 >= 0.4 {
          pitched++
          if (cents <= 50) near++
        }
        $7 != "" { count[$7]++ }
        END {
          top = ""; for (w in count) if (top == "" || count[w] > count[top]) top = w
          ok = want == "" ? "-" : (top == want ? 1 : 0)
          gsub(/ /, "_", top)
          printf "%s %s %d %d %s %s %s %s %s %d %s\n", fam, note, pitched, near, ok, (first == "" ? "-" : first), name,
            (top == "" ? "none" : top), detune, early, (right == "" ? "-" : right)
        }' >>"$rows"
  done
  echo "== input gain $g"
  awk '
    function line(label, k) {
      share = P[k] ? 100 * N[k] / P[k] : 0
      printf "%-12s %6.1f %% of %5d   %2d of %2d   %2d of %2d   %5.3f s    %2d of %2d    %5.3f s  %5.3f s\n", label, share,
        P[k], W[k, 30], D[k, 30], W[k, 10], D[k, 10], median(T, k), E[k], F[k], median(R, k), p90(R, k)
    }
    # A[k, 1..A[k, 0]] sorted in place.
    function sorted(A, k,   i, j, t, n) {
      n = A[k, 0]
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++)
        if (A[k, j] < A[k, i]) { t = A[k, i]; A[k, i] = A[k, j]; A[k, j] = t }
      return n
    }
    function median(A, k,   n) {
      n = sorted(A, k)
      return n == 0 ? 0 : (n % 2 ? A[k, (n + 1) / 2] : (A[k, n / 2] + A[k, n / 2 + 1]) / 2)
    }
    function p90(A, k,   n, r) {
      n = sorted(A, k)
      r = int(0.9 * n); if (r < 0.9 * n) r++
      return n == 0 ? 0 : A[k, r]
    }
    function add(k) {
      P[k] += $3; N[k] += $4
      if ($5 != "-") { D[k, $9]++; W[k, $9] += $5 }
      if ($6 != "-") T[k, ++T[k, 0]] = $6
      F[k]++; E[k] += $10
      # A recording never read right counts as read at its end: it cannot look quick.
      R[k, ++R[k, 0]] = $11 == "-" ? 99 : $11
    }
    {
      add($1 " " $2); add($1); add("all")
      fam[$1] = 1; str[$2] = 1
      if ($5 == "0") bad = bad sprintf("  %s shows %s most\n", $7, $8)
      if ($3 && $4 < 0.98 * $3) bad = bad sprintf("  %s: %d of %d pitched blocks within 50 cents\n", $7, $4, $3)
      if ($10) bad = bad sprintf("  %s reads off the string before 0.4 s\n", $7)
    }
    END {
      printf "%-12s %-17s %-9s %-9s %-10s %-10s %s\n", "", "within 50 cents", "word 30c", "word 10c", "1st pitch",
        "off <0.4s", "1st right: median, p90"
      split("E2 A2 D3 G3 B3 E4", order, " ")
      for (f in fam) {
        for (i = 1; i <= 6; i++) if ((f " " order[i]) in P) line(f " " order[i], f " " order[i])
        line(f, f)
      }
      line("all", "all")
      printf "%s", bad
    }' "$rows"
done
