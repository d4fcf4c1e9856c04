#!/usr/bin/env bash
# The delay from a key to its slurp reaching the sound server: the game's
# timed build runs on a private PulseAudio null sink, the sink's monitor is
# recorded, and each eaten letter's key (from the program's log) is matched
# with the first sound after it. Each letter is typed after a few silent
# seconds, so the sound device has been let go and must come back in time.
# Prints the median and worst over LETTERS letters (default 20), and how long
# each slurp was heard beside the file's length (a clipped start shows there).
# Usage: bench/sound_latency.sh [BUILD_DIR] [LETTERS]   (run `make` first)
set -euo pipefail

build=$(realpath "${1:-build}")
letters=${2:-20}
here=$(dirname "$(realpath "$0")")
bin=$build/bin
[ -x "$bin/yumble_timed" ] || { echo "build first: $bin/yumble_timed is missing" >&2; exit 2; }
command -v pulseaudio >/dev/null && command -v parec >/dev/null ||
  apt-get install -y --no-install-recommends pulseaudio pulseaudio-utils >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  exec 4>&- 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  [ -n "${KEEP:-}" ] && cp -r "$work" "$KEEP"; rm -rf "$work"
}
trap cleanup EXIT
. "$here/lib.sh"
start_xvfb "$work"
start_pulse "$work"

# The recorder runs until its stdin, fd 4 here, is closed.
exec 4> >(python3 "$here/sink_onsets.py" bench.monitor >"$work/onsets")
recorder=$!

log=$work/timing.log
SDL_AUDIODRIVER=pulseaudio "$bin/yumble_timed" "$log" 2>"$work/game.err" &
game=$!
pids+=("$game")
until grep -q first-paint "$log" 2>/dev/null; do sleep 0.01; done
opening=$(soxi -D "$bin/yumdir.wav" "$bin/yumdir2.wav" | awk '{s += $1} END {print s + 2.4 + 2 + 1}')
sleep "$opening"

wid=$(xdotool search --sync --name '^Yumble$' | head -1)
xdotool windowfocus --sync "$wid" 2>/dev/null || true
eaten() { grep -c ' score ' "$log" || true; }
for _ in $(seq $((letters * 3))); do
  [ "$(eaten)" -ge "$letters" ] && break
  xdotool type --delay 15 abcdefghijklmnopqrstuvwxyz
  sleep 3.5
done
kill "$game"
exec 4>&-
wait "$recorder" 2>/dev/null || sleep 1

python3 - "$log" "$work/onsets" "$(soxi -D "$bin/slurp2.wav")" <<'PY'
import statistics, sys
log = [l.split(" ", 2) for l in open(sys.argv[1]).read().splitlines()]
onsets = [tuple(map(float, l.split())) for l in open(sys.argv[2])]
slurp_ms = float(sys.argv[3]) * 1000
# The eating key is the first one after a letter shows that names it.
lat, heard, letter = [], [], None
for t, kind, *rest in log:
    detail = rest[0] if rest else ""
    if kind == "letter":
        letter = detail.strip()
    elif kind == "key" and letter and chr(int(detail)).upper() == letter:
        letter = None
        # A null sink renders ahead of time, so the sound may reach it a hair
        # before the key's line is written.
        after = [(o, length) for o, length in onsets if float(t) - 5 < o < float(t) + 400]
        if after:
            lat.append(after[0][0] - float(t))
            heard.append(after[0][1])
if not lat:
    sys.exit("no slurp was heard")
print(f"letters eaten with a slurp heard: {len(lat)}")
print(f"key to slurp at the sink: median {statistics.median(lat):.1f} ms, "
      f"worst {max(lat):.1f} ms (goal: under 30 ms)")
print(f"slurp heard for: median {statistics.median(heard):.0f} ms, shortest {min(heard):.0f} ms "
      f"(the file lasts {slurp_ms:.0f} ms)")
print("each (ms): " + " ".join(f"{x:.0f}" for x in lat))
PY
