#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages. Idempotent:
# packages already present are left alone, and apt runs only when one is missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  googletest libbenchmark-dev
  libfreetype-dev fonts-liberation zlib1g-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64
  # The Direct3D tests under wine64: an X server without a screen, OpenGL for
  # Wine's Direct3D, and the X libraries and fonts Wine only recommends.
  xvfb libgl1 libgl1-mesa-dri libxrender1 libxrandr2 libxcursor1 libxi6 libxinerama1 fonts-wine
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

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

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
retry $SUDO apt-get update
retry $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
