#!/usr/bin/env bash
# Makes the desktop icons from the frog's own icon pictures:
#   make_icons.sh SVG_DIR ICON_DIR
# ICON_DIR gets a hicolor tree: NxN/apps/NAME.png for each size below and
# scalable/apps/NAME.svg. The small sizes use the icon drawn with bolder lines
# and bigger eyes, which reads at 32 px and under; the others the full frog.
# The SVG is flattened into one file, since the sources link to frog.svg.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 SVG_DIR ICON_DIR" >&2
  exit 2
fi
src=$1 out=$2
name=org.yumble.Yumble

command -v rsvg-convert >/dev/null ||
  { echo "make_icons: rsvg-convert is missing (tools/install-deps.sh installs it)" >&2; exit 1; }

for size in 16 24 32 48 64 128 256; do
  if [ "$size" -le 32 ]; then svg=$src/programIcon.svg; else svg=$src/programIcon64.svg; fi
  mkdir -p "$out/${size}x$size/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "$out/${size}x$size/apps/$name.png"
done
mkdir -p "$out/scalable/apps"
rsvg-convert -f svg "$src/programIcon64.svg" -o "$out/scalable/apps/$name.svg"
# librsvg writes nothing, and says nothing, for a link it could not follow.
grep -q '<path' "$out/scalable/apps/$name.svg" ||
  { echo "make_icons: the scalable icon came out empty" >&2; exit 1; }
