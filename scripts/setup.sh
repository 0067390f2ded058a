#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again: apt is skipped when all are present.
set -euo pipefail
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0 xvfb xauth libx11-dev
  libopenal-dev libsndfile1-dev libfluidsynth-dev timgm6mb-soundfont fluid-soundfont-gm
  libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-dejavu-extra fonts-liberation2
  libpng-dev libjpeg62-turbo-dev libgif-dev zlib1g-dev
  libimgui-dev libffi-dev libenet-dev libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev lua5.4 nlohmann-json3-dev clang
  love
)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi
echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
