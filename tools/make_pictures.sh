#!/usr/bin/env bash
# Draws every picture of the game from its SVG source.
#   make_pictures.sh SVG_DIR BIN_DIR ART_DIR
# BIN_DIR gets the files the game reads at run time; ART_DIR the ones compiled
# into the program. Each NAME.svg in SVG_DIR becomes NAME.bmp, an uncompressed
# 24-bit bitmap on white, at the size listed below.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 SVG_DIR BIN_DIR ART_DIR" >&2
  exit 2
fi
src=$1 bin=$2 art=$3

# name      size     where
pictures="
f1          400x256  bin
f2          400x256  bin
f3          400x256  bin
f4          400x256  bin
f5          400x256  bin
f6          400x256  bin
f7          400x256  bin
talk0       252x332  bin
talk1       252x332  bin
talk2       252x332  bin
frogRight   400x256  art
frogLeft    400x256  art
programIcon 32x32    art
programIcon64 64x64  art
stopSign    32x32    art
smileyIcon  32x32    art
rewardPicture 400x465 art
"

for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || { echo "make_pictures: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 1; }
done

# librsvg draws nothing, and says nothing, for a link to a part that does not
# exist, so check every "file.svg#part" link first.
check_links() {
  local svg=$1 link file id
  for link in $(grep -o '[A-Za-z0-9_]*\.svg#[A-Za-z0-9_-]*' "$svg" | sort -u); do
    file=${link%%#*} id=${link#*#}
    if [ ! -f "$src/$file" ]; then
      echo "make_pictures: $svg links to $file, which does not exist" >&2
      return 1
    fi
    if ! grep -q "id=\"$id\"" "$src/$file"; then
      echo "make_pictures: $svg links to $link, which $file does not define" >&2
      return 1
    fi
  done
}

mkdir -p "$bin" "$art"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

while read -r name size where; do
  [ -n "$name" ] || continue
  svg=$src/$name.svg
  [ -f "$svg" ] || { echo "make_pictures: $svg is missing" >&2; exit 1; }
  check_links "$svg"
  [ "$where" = bin ] && out=$bin/$name.bmp || out=$art/$name.bmp
  rsvg-convert -w "${size%x*}" -h "${size#*x}" -b white "$svg" -o "$tmp/$name.png"
  convert "$tmp/$name.png" -background white -alpha remove -type TrueColor "BMP3:$out"
done <<<"$pictures"
