#!/usr/bin/env bash
# The delay from a key to its slurp reaching the sound server: the game's
# timed build runs on a private PulseAudio null sink, the sink's monitor is
# recorded, and each eaten letter's key (from the program's log) is matched
# with the first sound after it. A letter is typed every GAP seconds (default
# 1.5, a child's pace; 15 lets the card go between letters). Prints the median
# and worst over LETTERS letters (default 20), how many slurps were heard
# whole, and the sound server's CPU per letter. With BUSY=2, two busy loops
# run meanwhile, and a plain SDL player (bench/plain_player.cpp) then plays the
# slurp as many times, for comparison: at each eating key of a second, silent
# game typed into the same way, so that it plays as the eating frames are
# drawn, as the game's slurps do (PLAIN=alone: on its own, every GAP seconds).
# Usage: [GAP=S] [BUSY=N] [PLAIN=alone] bench/sound_latency.sh [BUILD_DIR] [LETTERS]   (run `make` first)
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
# A slurp is heard whole when no quiet stretch within it is longer than the
# file's own longest, and a millisecond.
window=$(python3 -c 'import sys, wave; w = wave.open(sys.argv[1]); print(w.getnframes() * 1000 // w.getframerate())' "$bin/slurp2.wav")
if [ "${RECORD:-1}" = 1 ]; then
  exec 4> >(python3 "$here/sink_onsets.py" bench.monitor "$window" >"$work/onsets")
else
  exec 4>/dev/null
fi
recorder=$!

log=$work/timing.log
SDL_AUDIODRIVER=pulseaudio "$bin/yumble_timed" "$log" 2>"$work/game.err" &
game=$!
pids+=("$game")
until grep -q first-paint "$log" 2>/dev/null; do sleep 0.01; done
opening=$(soxi -D "$bin/yumdir.wav" "$bin/yumdir2.wav" | awk '{s += $1} END {print s + 2.4 + 2 + 1}')
sleep "$opening"

for _ in $(seq "${BUSY:-0}"); do
  (while :; do :; done) 4>&- &
  pids+=($!)
done
cpu() { awk '{print $14 + $15}' "/proc/$pulse/stat"; }
eaten() { grep -c ' score ' "$1" || true; }
# A slurp is measured on its own: the keys come once a letter is shown (not
# while the reward is, whose window would keep them for the next letter) and
# its name, a second at most, has been said.
named() {
  awk -v now="$(cut -d' ' -f1 /proc/uptime)" '$2 == "letter" || $2 == "score" {k = $2; t = $1}
    END {exit !(k == "letter" && now * 1000 - t > 1300)}' "$1"
}
# Types the alphabet into the game (pid $2, log $1) until LETTERS letters are
# eaten, running $3 just after each letter's eating key.
type_into() {
  local abc=abcdefghijklmnopqrstuvwxyz l
  xdotool windowfocus --sync "$(xdotool search --sync --name '^Yumble$' | head -1)" 2>/dev/null || true
  for _ in $(seq $((letters * 3))); do
    [ "$(eaten "$1")" -ge "$letters" ] && break
    until named "$1" || ! kill -0 "$2" 2>/dev/null; do sleep 0.05; done
    l=$(awk '$2 == "letter" {l = tolower($3)} END {print l}' "$1")
    xdotool type --delay 15 "${abc%%"$l"*}$l"
    $3
    xdotool type --delay 15 "${abc#*"$l"}"
    sleep "${GAP:-1.5}"
  done
}
cpu0=$(cpu)
type_into "$log" "$game" :
awk -v t=$(($(cpu) - cpu0)) -v n="$(eaten "$log")" -v hz="$(getconf CLK_TCK)" \
  'BEGIN {printf "sound server CPU per letter: %.1f ms (%d letters)\n", t * 1000 / hz / n, n}'
kill "$game"
wait "$game" 2>/dev/null || true
exec 4>&-
wait "$recorder" 2>/dev/null || sleep 1
[ "${RECORD:-1}" = 1 ] || exit 0

if [ "${BUSY:-0}" -gt 0 ]; then
  exec 4> >(python3 "$here/sink_onsets.py" bench.monitor "$window" >"$work/plain")
  recorder=$!
  sleep 1.5
  exec 5> >(SDL_AUDIODRIVER=pulseaudio "$bin/plain_player" "$bin/slurp2.wav" >"$work/plays")
  player=$!
  play() { echo >&5; }
  if [ "${PLAIN:-game}" = alone ]; then
    for _ in $(seq "$letters"); do play; sleep "${GAP:-1.5}"; done
  else
    SDL_AUDIODRIVER=dummy "$bin/yumble_timed" "$work/silent.log" 2>/dev/null 4>&- 5>&- &
    game=$!
    pids+=("$game")
    until grep -q first-paint "$work/silent.log" 2>/dev/null; do sleep 0.01; done
    sleep "$opening"
    type_into "$work/silent.log" "$game" play
    kill "$game"
  fi
  exec 5>&-
  wait "$player" 2>/dev/null || true
  exec 4>&-
  wait "$recorder" 2>/dev/null || sleep 1
fi

python3 - "$log" "$work/onsets" "$(soxi -D "$bin/slurp2.wav")" "$bin/slurp2.wav" \
  "$work/plain" "$letters" "$work/plays" <<'PY'
import statistics, sys, wave, array, os
w = wave.open(sys.argv[4])
a = array.array("h", w.readframes(w.getnframes()))[::w.getnchannels()]
loud = [i for i, x in enumerate(a) if abs(x) >= 8]
own_hole = max(b - a for a, b in zip(loud, loud[1:])) * 1000 / w.getframerate()
whole = lambda hole: hole <= own_hole + 1
log = [l.split(" ", 2) for l in open(sys.argv[1]).read().splitlines()]
onsets = [tuple(map(float, l.split())) for l in open(sys.argv[2])]
slurp_ms = float(sys.argv[3]) * 1000
# The eating key is the first one after a letter shows that names it.
lat, heard, holes, eaten, letter = [], [], [], 0, None
for t, kind, *rest in log:
    detail = rest[0] if rest else ""
    if kind == "letter":
        letter = detail.strip()
    elif kind == "key" and letter and chr(int(detail)).upper() == letter:
        letter = None
        eaten += 1
        # A null sink renders ahead of time, so the sound may reach it a hair
        # before the key's line is written.
        after = [o for o in onsets if float(t) - 5 < o[0] < float(t) + 400]
        if after:
            lat.append(after[0][0] - float(t))
            heard.append(after[0][1])
            holes.append(after[0][2])
if not lat:
    sys.exit("no slurp was heard")
print(f"letters eaten with a slurp heard: {len(lat)}")
print(f"key to slurp at the sink: median {statistics.median(lat):.1f} ms, "
      f"worst {max(lat):.1f} ms (goal: under 30 ms)")
print(f"slurp heard for: median {statistics.median(heard):.0f} ms, shortest {min(heard):.0f} ms "
      f"(the file lasts {slurp_ms:.0f} ms)")
print("each (ms): " + " ".join(f"{x:.0f}" for x in lat))
print(f"slurps heard whole: {sum(map(whole, holes))} of {eaten} letters eaten"
      f" (longest quiet within a slurp: {max(holes):.1f} ms, the file's own {own_hole:.1f} ms)")
if os.path.exists(sys.argv[5]):
    plain = [tuple(map(float, l.split())) for l in open(sys.argv[5])]
    print(f"plain SDL player, slurps heard whole: {sum(whole(p[2]) for p in plain)} of {sys.argv[6]} plays")
    # Its delay from handing a sound over to the sink, as the game's from a key.
    plays = [float(l.split()[0]) for l in open(sys.argv[7])]
    onset = lambda t: next((o[0] for o in plain if t - 5 < o[0] < t + 400), None)
    delays = [o - t for t in plays if (o := onset(t)) is not None]
    if delays:
        print(f"plain SDL player, sound handed over to the sink: median {statistics.median(delays):.1f} ms, "
              f"worst {max(delays):.1f} ms")
PY
