#!/usr/bin/env bash
# Whole-program figures for the real game under Xvfb:
#   time from exec to the first painted frame, resident memory after the
#   opening, CPU use while waiting for a key, delay from a key to the painted
#   score line, and the spacing of the 50 ms eating ticks.
# Usage: bench/run.sh [BUILD_DIR] [LETTERS]   (run `make` first)
set -euo pipefail
. "$(dirname "$(realpath "$0")")/lib.sh"

build=$(realpath "${1:-build}")
letters=${2:-12}
bin=$build/bin
[ -x "$bin/yumble_timed" ] || { echo "build first: $bin/yumble_timed is missing" >&2; exit 2; }

work=$(mktemp -d)
cleanup() {
  [ -n "${game:-}" ] && kill "$game" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$work/display")

log=$work/timing.log
start=$(date +%s%N)
"$bin/yumble_timed" "$log" &
game=$!

until grep -q first-paint "$log" 2>/dev/null; do sleep 0.01; done
first=$(awk '/first-paint/ {print $3}' "$log")
echo "exec to first painted frame: $(( (first - start) / 1000000 )) ms"

# The opening: 16 talking ticks, a 2 s pause, then both parts of the directions.
opening=$(soxi -D "$bin/yumdir.wav" "$bin/yumdir2.wav" | awk '{s += $1} END {print s + 2.4 + 2 + 1}')
sleep "$opening"
echo "resident memory after the opening, with the sound host (RSS PSS, held once, MiB): $(program_memory "$game")"

ticks=$(getconf CLK_TCK)
cpu() { program_cpu "$game"; }
c0=$(cpu); sleep 20; c1=$(cpu)
echo "CPU while waiting for a key: $(awk -v a="$c0" -v b="$c1" -v hz="$ticks" 'BEGIN {printf "%.2f", (b - a) * 100 / hz / 20}')% of a core (20 s)"

wid=$(xdotool search --sync --name '^Yumble$' | head -1)
xdotool windowfocus --sync "$wid" 2>/dev/null || true
eaten() { grep -c ' score ' "$log" || true; }
for _ in $(seq 200); do
  [ "$(eaten)" -ge "$letters" ] && break
  xdotool type --delay 15 abcdefghijklmnopqrstuvwxyz
  sleep 0.3
done
sleep 2

python3 - "$log" <<'PY'
import statistics, sys
events = [l.split(" ", 2) for l in open(sys.argv[1]).read().splitlines()]
events = [(float(t), kind, rest) for t, kind, *r in events for rest in [r[0] if r else ""]]
lat, last_key = [], None
for t, kind, _ in events:
    if kind == "key":
        last_key = t
    elif kind == "score" and last_key is not None:
        lat.append(t - last_key)
frames = [t for t, kind, _ in events if kind == "frame"]
gaps = [b - a for a, b in zip(frames, frames[1:]) if b - a < 120]
print(f"letters eaten: {len(lat)}")
if lat:
    print(f"key to painted score line: median {statistics.median(lat):.2f} ms, max {max(lat):.2f} ms")
if gaps:
    dev = [abs(g - 50) for g in gaps]
    print(f"eating ticks: {len(gaps)} intervals, mean {statistics.mean(gaps):.2f} ms, "
          f"min {min(gaps):.2f}, max {max(gaps):.2f}, worst deviation {max(dev):.2f} ms, "
          f"within 5 ms: {sum(d <= 5 for d in dev)}/{len(dev)}")
PY
