#!/usr/bin/env bash
# Run by hand (not by the tests; it needs Xorg's dummy driver, package
# xserver-xorg-video-dummy): two monitors side by side, a 1280x1024 one on the
# left and the primary 1920x1080 on the right, as RandR shows them to SDL. The
# game is started with the pointer on the left monitor, on the right one, and
# below the shorter left one (on no monitor: the primary is used); each time
# it prints where the game window went, and the screenshots are left in OUT.
# Usage: two_monitors.sh BIN_DIR [OUT_DIR] [openbox]
set -euo pipefail
bin=$(cd "${1:?usage: $0 BIN_DIR [OUT_DIR] [openbox]}" && pwd)
out=${2:-/tmp/yumble-two-monitors}
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

cat >"$work/xorg.conf" <<'CONF'
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 3200 1200
  EndSubSection
EndSection
CONF
display=:57
Xorg "$display" -config "$work/xorg.conf" -configdir "$work" -noreset -nolisten tcp \
  -logfile "$work/xorg.log" >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xrandr >/dev/null 2>&1 && break; sleep 0.1; done
xrandr --addmode DUMMY1 1920x1080
xrandr --fb 3200x1080 --output DUMMY0 --mode 1280x1024 --pos 0x0 \
  --output DUMMY1 --mode 1920x1080 --pos 1280x0 --primary
xrandr --listmonitors
if [ "${3:-}" = openbox ]; then
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi

for at in "300 500 left" "2000 500 right" "100 1060 none"; do
  read -r x y name <<<"$at"
  xdotool mousemove "$x" "$y"
  "$bin/yumble" >"$work/game.log" 2>&1 &
  game=$!
  wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Yumble$' | head -1)
  sleep 9
  echo "pointer at $x,$y (monitor: $name): the window is at" \
    "$(xwininfo -id "$wid" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w "x" h}')"
  import -window root "$out/$name.png"
  kill -TERM "$game"
  wait "$game" || true
done
echo "screenshots in $out"
