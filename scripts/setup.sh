#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages. Idempotent:
# packages already present are left alone, and apt runs only when one is missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  googletest libbenchmark-dev
  libfreetype-dev fonts-liberation zlib1g-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
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
  # The program's test presses keys in its windows.
  xdotool
  # The installer (makensis) and the run command's screenshot (xwd, then to PNG).
  nsis x11-apps netpbm
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

# Some kernels run 64-bit programs only (their IA-32 emulation is off), and then
# the 32-bit half of Wine cannot start. There 32-bit programs run through QEMU's
# user-mode emulator, registered with the kernel for 32-bit x86 programs. It must
# be QEMU 8 or later: older ones ignore the no-replace mappings Wine reserves its
# address space with, and each start of a program takes minutes instead of a second.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  qemu_version=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
  if [ -z "$qemu_version" ] || dpkg --compare-versions "$qemu_version" lt 1:8; then
    backports=/etc/apt/sources.list.d/tq-bookworm-backports.list
    if . /etc/os-release && [ "${VERSION_CODENAME:-}" = bookworm ] && [ ! -e "$backports" ]; then
      echo "deb http://deb.debian.org/debian bookworm-backports main" | $SUDO tee "$backports" >/dev/null
      retry $SUDO apt-get update
      release=(-t bookworm-backports)
    elif [ "${VERSION_CODENAME:-}" = bookworm ]; then
      release=(-t bookworm-backports)
    else
      release=()
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
