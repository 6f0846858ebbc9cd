#!/usr/bin/env bash
# Makes the texture bitmaps of the example scenario "scene" that are not there
# yet: the Earth from NASA's Visible Earth imagery shipped in Debian's
# xplanet-images, the Sun, the Moon and the star sprite drawn by ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=examples/scene
make_bmp() {   # name, then the ImageMagick arguments that draw it
  local name=$1; shift
  [ -f "$dir/$name" ] || convert "$@" -type truecolor "BMP3:$dir/$name"
}
make_bmp Earth.bmp /usr/share/xplanet/images/earth.jpg -resize 1024x512!
make_bmp Sun.bmp -size 128x128 radial-gradient:'#fffbe0'-black -gamma 0.6
make_bmp Star.bmp -size 32x32 radial-gradient:white-black -gamma 0.7
make_bmp Moon.bmp -seed 7 -size 256x128 plasma:grey55-grey75 -blur 0x1 -colorspace gray
