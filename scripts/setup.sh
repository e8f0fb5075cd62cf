#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages. Idempotent:
# packages already present are left alone, and apt runs only when one is missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  googletest libbenchmark-dev
  libfreetype-dev fonts-liberation zlib1g-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  # The fuzz targets: clang and its libFuzzer runtime.
  clang libclang-rt-14-dev
  # Wine for both Windows widths: wine64 runs 64-bit programs and starts 32-bit
  # ones through the 32-bit loader of wine32 (the product's width).
  wine64 wine32:i386
  # The Direct3D tests under Wine: an X server without a screen, OpenGL for
  # Wine's Direct3D, and the X libraries and fonts Wine only recommends, for
  # both widths.
  xvfb fonts-wine
  libgl1 libgl1-mesa-dri libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1
  libgl1:i386 libgl1-mesa-dri:i386 libxrender1:i386 libxrandr2:i386 libxcursor1:i386
  libxi6:i386 libxinerama1:i386
  # The program's test presses keys in its windows; gdb names where a program
  # that stopped answering waits.
  xdotool gdb
  # The installer (makensis) and the run command's screenshot (xwd, then to PNG).
  nsis x11-apps netpbm
  # Windows audio (WASAPI) under Wine goes to a real sound server: a PulseAudio
  # server each test starts itself, played into and recorded with paplay and
  # parecord; Wine's PulseAudio driver needs the client library of both widths.
  pulseaudio pulseaudio-utils libpulse0 libpulse0:i386
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

retry() {
  local n
  for n in 1 2 3 4; do
    if "$@"; then return 0; fi
    echo "setup: '$*' failed (attempt $n), retrying" >&2
    sleep $((n * 5))
  done
  return 1
}

# 32-bit Wine and its libraries come from the i386 architecture.
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture"
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  retry $SUDO apt-get update
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  retry $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# derived_source APT_DIR SUITE NEW_SUITE: an apt source for NEW_SUITE made from the
# one this machine already has for SUITE, with its mirror, components and options,
# in that source's format (one-line or deb822), and the file name it goes in;
# nothing when no enabled source has SUITE. The project names no mirror itself.
derived_source() {
  local dir=$1 suite=$2 new=$3 f
  for f in "$dir/sources.list" "$dir"/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v suite="$suite" -v new="$new" '
      $1 == "deb" {
        i = 2; opts = ""
        if ($2 ~ /^\[/) { while (i < NF && $i !~ /\]$/) opts = opts $(i++) " "; opts = opts $(i++) " " }
        if ($(i + 1) != suite) next
        line = "deb " opts $i " " new
        for (k = i + 2; k <= NF; k++) line = line " " $k
        print "tq-" new ".list"; print line; found = 1; exit
      }
      END { exit !found }' "$f" && return 0
  done
  for f in "$dir"/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # Paragraphs of "Field: value" lines; a value goes on in lines that start with
    # a blank. Types and Suites are rewritten, every other field is kept as it is.
    awk -v suite="$suite" -v new="$new" '
      BEGIN { RS = ""; FS = "\n" }
      {
        n = 0; delete key; delete val; delete raw
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^#/) continue
          if ($i ~ /^[ \t]/ && n > 0) { val[n] = val[n] " " $i; raw[n] = raw[n] "\n" $i; continue }
          n++; key[n] = tolower(substr($i, 1, index($i, ":") - 1)); val[n] = substr($i, index($i, ":") + 1); raw[n] = $i
        }
        types = suites = enabled = ""
        for (k = 1; k <= n; k++) {
          if (key[k] == "types") types = " " val[k] " "
          if (key[k] == "suites") suites = " " val[k] " "
          if (key[k] == "enabled") enabled = val[k]
        }
        gsub(/[ \t]+/, " ", types); gsub(/[ \t]+/, " ", suites); gsub(/[ \t]/, "", enabled)
        if (index(types, " deb ") == 0 || index(suites, " " suite " ") == 0 || tolower(enabled) == "no") next
        print "tq-" new ".sources"
        for (k = 1; k <= n; k++) {
          if (key[k] == "types") print "Types: deb"
          else if (key[k] == "suites") print "Suites: " new
          else print raw[k]
        }
        found = 1; exit
      }
      END { exit !found }' "$f" && return 0
  done
  return 1
}

# Some kernels run 64-bit programs only (their IA-32 emulation is off), and then
# the 32-bit half of Wine cannot start. There 32-bit programs run through QEMU's
# user-mode emulator, registered with the kernel for 32-bit x86 programs. It must
# be QEMU 8 or later: older ones ignore the no-replace mappings Wine reserves its
# address space with, and each start of a program takes minutes instead of a second.
# Debian 12 has it in its backports suite, taken from the machine's own mirror.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  qemu_version=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
  if [ -z "$qemu_version" ] || dpkg --compare-versions "$qemu_version" lt 1:8; then
    release=()
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    if [ "$codename" = bookworm ]; then
      release=(-t bookworm-backports)
      if ! derived_source /etc/apt bookworm-backports bookworm-backports >/dev/null; then
        if ! source_text=$(derived_source /etc/apt bookworm bookworm-backports); then
          echo "setup: this kernel runs no 32-bit programs, and QEMU 8 comes from bookworm-backports;" \
            "no apt source for bookworm was found to take its mirror from. Add bookworm-backports to" \
            "apt's sources and run this again." >&2
          exit 1
        fi
        file=/etc/apt/sources.list.d/$(head -n 1 <<<"$source_text")
        echo "setup: adding the bookworm-backports suite of this machine's mirror ($file)"
        tail -n +2 <<<"$source_text" | $SUDO tee "$file" >/dev/null
        retry $SUDO apt-get update
      fi
    fi
    echo "setup: this kernel runs no 32-bit programs; installing QEMU's user-mode emulator"
    retry $SUDO apt-get install -y --no-install-recommends "${release[@]}" qemu-user-static
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  if [ ! -e "$binfmt/register" ]; then
    $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
  fi
  # Registered anew, so that the kernel holds the emulator installed just now.
  if [ -e "$binfmt/qemu-i386" ]; then
    echo -1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null
  fi
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    | $SUDO tee "$binfmt/register" >/dev/null
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "setup: 32-bit programs still do not start; the i686 tests cannot run" >&2
    exit 1
  fi
fi
