#!/usr/bin/env bash
# Installs every Debian 12 package needed to build, test and play Starfall.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  zlib1g-dev libpng-dev libjpeg62-turbo-dev
  libsdl2-dev libsdl2-mixer-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libgtk-3-dev
  libgtest-dev libgmock-dev
  xvfb xauth xdg-utils x11-apps weston xwayland
  ccache openbox imagemagick xdotool
  python3-numpy python3-pil
  libassimp-dev
  ffmpeg desktop-file-utils man-db groff-base
  emscripten libstb-dev chromium
  clang libclang-rt-14-dev
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
