#!/usr/bin/env bash
# Installs the Debian packages that the build, the example and the tests need,
# skipping those already present. Runs apt-get as root, through sudo otherwise.
set -euo pipefail

PACKAGES=(
  g++ cmake make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libegl-dev libgl-dev libopengl-dev libglu1-mesa-dev libegl-mesa0 libgl1-mesa-dri
  libfreetype-dev fonts-liberation fonts-dejavu-core
  libjpeg62-turbo-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  libfltk1.3-dev fluid
  xvfb xauth x11-apps imagemagick xdotool time
  ffmpeg sdcc sdcc-ucsim libpolyclipping-dev
  clang libclang-rt-14-dev
  xplanet-images
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -ne 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

bash "$(dirname "$0")/make_textures.sh"
