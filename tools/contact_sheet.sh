#!/usr/bin/env bash
# All the game's pictures on one sheet, labelled, to look at them together:
#   contact_sheet.sh BIN_DIR ART_DIR OUT.png
# Row 1 the eating frames in order, row 2 the talking frames and the big
# pictures, row 3 the icons at their own size and four times enlarged.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 BIN_DIR ART_DIR OUT.png" >&2
  exit 2
fi
bin=$1 art=$2 out=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

row() {  # row OUT FILE...
  local dest=$1
  shift
  montage -font DejaVu-Sans -pointsize 14 -label '%t' "$@" -tile "$#x1" -geometry +8+8 \
    -background '#d0d0d0' "$dest"
}

frames=()
for i in 1 2 3 4 5 6 7; do frames+=("$bin/f$i.bmp"); done
row "$tmp/1.png" "${frames[@]}"
row "$tmp/2.png" "$bin/talk0.bmp" "$bin/talk1.bmp" "$bin/talk2.bmp" \
  "$art/frogRight.bmp" "$art/frogLeft.bmp" "$art/rewardPicture.bmp"

# Small pictures get a wider grey margin so that their labels fit.
icons=()
for name in programIcon programIcon64 stopSign smileyIcon; do
  convert "$art/$name.bmp" -background '#d0d0d0' -gravity center -extent 150x64 "$tmp/$name.png"
  convert "$art/$name.bmp" -filter point -resize 400% "$tmp/$name x4.png"
  icons+=("$tmp/$name.png" "$tmp/$name x4.png")
done
row "$tmp/3.png" "${icons[@]}"

convert -background '#d0d0d0' "$tmp/1.png" "$tmp/2.png" "$tmp/3.png" -gravity west -append +repage -depth 8 "$out"
