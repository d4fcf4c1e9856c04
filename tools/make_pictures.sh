#!/usr/bin/env bash
# Placeholder pictures until the artwork lands: make_pictures.sh SVG_DIR BIN_DIR ART_DIR
set -euo pipefail
src=$1 bin=$2 art=$3
mkdir -p "$bin" "$art"
bmp() { convert -size "$1" "xc:$2" -type TrueColor "BMP3:$3"; }
for i in 1 2 3 4 5 6 7; do bmp 400x256 "rgb(60,$((100 + i * 20)),60)" "$bin/f$i.bmp"; done
for i in 0 1 2; do bmp 252x332 "rgb(40,$((120 + i * 40)),40)" "$bin/talk$i.bmp"; done
bmp 400x256 green "$art/frogRight.bmp"
bmp 400x256 green "$art/frogLeft.bmp"
bmp 32x32 green "$art/programIcon.bmp"
bmp 64x64 green "$art/programIcon64.bmp"
bmp 32x32 red "$art/stopSign.bmp"
bmp 32x32 yellow "$art/smileyIcon.bmp"
bmp 400x465 yellow "$art/rewardPicture.bmp"
