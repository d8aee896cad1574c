#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Vemtaro need, when
# any of them is missing. Runs apt-get as root, or through sudo.
set -euo pipefail

# libqt6opengl6-dev: the CMake package of Qt Charts (qt6-charts-dev) looks for
# that of Qt OpenGL, which Debian ships apart and qt6-charts-dev does not pull in.
packages=(
  build-essential cmake g++ clang clang-format llvm libclang-rt-14-dev
  qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth libxcb1-dev python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
