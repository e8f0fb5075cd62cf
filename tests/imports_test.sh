#!/usr/bin/env bash
# The Windows files start on Windows XP SP2: no import of a function (or from a
# library) that XP lacks, listed in LIST, and no operating-system or subsystem
# version in the PE header above MAX ("5.1"; a 64-bit file may say "5.2", the
# first 64-bit Windows).
#   imports_test.sh OBJDUMP MAX LIST FILE...
set -euo pipefail
[ $# -ge 4 ] || { echo "usage: imports_test.sh OBJDUMP MAX LIST FILE..." >&2; exit 2; }
OBJDUMP=$1 MAX=$2 LIST=$3
shift 3
status=0
# version_above A B: the dotted version A is above B.
version_above() { [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" != "$2" ]; }
for file in "$@"; do
  dump=$("$OBJDUMP" -p "$file") || { echo "FAIL: $file: cannot read its headers" >&2; status=1; continue; }
  # "DLL!Function" for every import by name; "DLL!#N" for one by number.
  imports=$(awk '/^\tDLL Name: / {dll=tolower($3); next}
                 dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ {print dll "!" $3; next}
                 dll != "" && /^\t[0-9a-f]+\t +<none> / {next}
                 /^$/ {dll=""}' <<<"$dump")
  [ -n "$imports" ] || { echo "FAIL: $file: no imports found (unreadable table?)" >&2; status=1; continue; }
  while IFS= read -r entry; do
    case $entry in ''|'#'*) continue ;; esac
    if [[ $entry == *.dll ]]; then
      found=$(grep -i "^${entry}!" <<<"$imports" | head -n 1 || true)
    else
      found=$(grep "!${entry}\$" <<<"$imports" || true)
    fi
    [ -z "$found" ] || { echo "FAIL: $file imports $found, which Windows XP lacks" >&2; status=1; }
  done <"$LIST"
  for field in OSystemVersion SubsystemVersion; do
    major=$(awk -v f="Major$field" '$1 == f {print $2}' <<<"$dump")
    minor=$(awk -v f="Minor$field" '$1 == f {print $2}' <<<"$dump")
    [ -n "$major" ] && [ -n "$minor" ] || { echo "FAIL: $file: no $field in its header" >&2; status=1; continue; }
    ! version_above "$major.$minor" "$MAX" || { echo "FAIL: $file: $field $major.$minor is above $MAX" >&2; status=1; }
  done
  echo "$file: $(wc -l <<<"$imports") imports checked"
done
exit $status
