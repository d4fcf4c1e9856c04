#!/usr/bin/env bash
# Draws every picture of the game from its SVG source.
#   make_pictures.sh SVG_DIR BIN_DIR ART_DIR TO_QOI
# BIN_DIR gets the files the game reads at run time; ART_DIR the ones compiled
# into the program. Each NAME.svg in SVG_DIR becomes NAME.bmp, an uncompressed
# 24-bit bitmap on white, at the size listed below; a picture compiled in is
# also written as NAME.qoi, which is what the program holds. A picture that grows with
# the screen is also drawn at two and three times that size, as NAME@2x.qoi and
# NAME@3x.qoi (compact and lossless, written by the TO_QOI tool).
set -euo pipefail

if [ $# -ne 4 ]; then
  echo "usage: $0 SVG_DIR BIN_DIR ART_DIR TO_QOI" >&2
  exit 2
fi
src=$1 bin=$2 art=$3 to_qoi=$4

# name      size     where  sets
pictures="
f1          400x256  bin    1 2 3
f2          400x256  bin    1 2 3
f3          400x256  bin    1 2 3
f4          400x256  bin    1 2 3
f5          400x256  bin    1 2 3
f6          400x256  bin    1 2 3
f7          400x256  bin    1 2 3
talk0       252x332  bin    1 2 3
talk1       252x332  bin    1 2 3
talk2       252x332  bin    1 2 3
frogRight   400x256  art    1 2 3
frogLeft    400x256  art    1 2 3
programIcon 32x32    art    1
programIcon64 64x64  art    1
stopSign    32x32    art    1 2 3
smileyIcon  32x32    art    1
rewardPicture 400x465 art   1 2 3
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

# draw SVG SET WIDTH HEIGHT OUT.bmp: the picture at SET times its size, on white.
draw() {
  rsvg-convert -w $(($3 * $2)) -h $(($4 * $2)) -b white "$1" -o "$tmp/draw.png"
  convert "$tmp/draw.png" -background white -alpha remove -type TrueColor "BMP3:$5"
}

while read -r name size where sets; do
  [ -n "$name" ] || continue
  svg=$src/$name.svg
  [ -f "$svg" ] || { echo "make_pictures: $svg is missing" >&2; exit 1; }
  check_links "$svg"
  [ "$where" = bin ] && dir=$bin || dir=$art
  for set in $sets; do
    if [ "$set" = 1 ]; then
      draw "$svg" 1 "${size%x*}" "${size#*x}" "$dir/$name.bmp"
      [ "$where" = bin ] || "$to_qoi" "$dir/$name.bmp" "$dir/$name.qoi"
    else
      draw "$svg" "$set" "${size%x*}" "${size#*x}" "$tmp/large.bmp"
      "$to_qoi" "$tmp/large.bmp" "$dir/$name@${set}x.qoi"
    fi
  done
done <<<"$pictures"
