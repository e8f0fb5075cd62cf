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
if [ ${#missing[@]} -eq 0 ] && [ $need_update -eq 0 ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
retry $SUDO apt-get update
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  retry $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
