#!/usr/bin/env bash
# Screenshots of what a drawing change must not alter, for comparing two
# builds pixel by pixel: the opening's screen with the letter A, the same
# after another window covered it and went away, the score line after the
# first letter, the reward's picture (its flashing edge left out) and the
# screen once the reward has gone. Usage: bench/look.sh [BUILD_DIR] OUT_DIR
#   then: compare -metric AE OLD/letter.png NEW/letter.png null:  (and so on;
#   or compare the pixels alone: convert X.png rgb:- | md5sum)
# BENCH_WM=openbox runs that window manager on the X server first.
set -euo pipefail

build=$(realpath "${1:-build}")
out=$(realpath -m "${2:?usage: bench/look.sh [BUILD_DIR] OUT_DIR}")
here=$(dirname "$(realpath "$0")")
bin=$build/bin
[ -x "$bin/yumble_timed" ] || { echo "build first: $bin/yumble_timed is missing" >&2; exit 2; }
mkdir -p "$out"

. "$here/lib.sh"
begin_bench
start_xvfb "$work"
if [ -n "${BENCH_WM:-}" ]; then
  "$BENCH_WM" >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi

log=$work/timing.log
SDL_AUDIODRIVER=dummy "$bin/yumble_timed" "$log" 2>/dev/null &
pids+=($!)
until grep -q first-paint "$log" 2>/dev/null; do sleep 0.01; done
opening=$(soxi -D "$bin/yumdir.wav" "$bin/yumdir2.wav" | awk '{s += $1} END {print s + 2.4 + 2 + 1}')
sleep "$opening"
shot() { import -window root ${2:+-crop "$2" +repage} "$out/$1.png"; }
shot letter

# Another window over the game, then gone: what it covered is shown again.
xlogo -geometry 700x500+150+200 &
cover=$!
sleep 1
kill "$cover"
sleep 0.5
shot exposed

wid=$(xdotool search --sync --name '^Yumble$' | head -1)
xdotool windowfocus --sync "$wid" 2>/dev/null || true
eaten() { grep -c ' score ' "$log" || true; }
xdotool type a
until [ "$(eaten)" -ge 1 ]; do sleep 0.05; done
sleep 0.5
# The score line's label: 8,376 and 584x62 pixels on the designs' screen,
# enlarged as the game enlarges them for this one.
read -r width height < <(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1], d[2]}')
shot score "$(awk -v w="$width" -v h="$height" 'BEGIN {
  s = w / 800 < h / 600 ? w / 800 : h / 600; if (s < 1) s = 1
  printf "%dx%d+%d+%d", 584 * s, 62 * s, 8 * s, 376 * s }')"

until [ "$(eaten)" -ge 10 ]; do
  xdotool type --delay 15 abcdefghijklmnopqrstuvwxyz
  sleep 1.5
done
sleep 1
# The reward window, 420x487 at 430,269; its picture box 8,9 from its corner.
shot reward 404x469+438+278
while xdotool search --onlyvisible --name '^Form1$' >/dev/null 2>&1; do sleep 0.2; done
sleep 1
# The next letter is drawn at random: its place is blanked.
shot after-reward
mogrify -fill black -draw "rectangle 150,220 350,480" "$out/after-reward.png"
ls "$out"
