#!/usr/bin/env bash
# Yumble beside Tux Typing, the lightest similar program, in one run under a
# private Xvfb (1280x1024, no window manager), RUNS runs each, medians:
#   exec to first real paint (the screen watched from outside, the same way
#   for both), resident memory once the opening is over (RSS and PSS), and
#   wake-ups per second while waiting for a key, silent on SDL's dummy sound
#   driver and on a private PulseAudio server with a null sink, together with
#   that server's CPU share over the same seconds. Beside them the SDL
#   floor (bench/floor.cpp: SDL alone showing a picture of the game's first
#   screen, then a font and a sound), and at the end bench/play_cpu.sh, the
#   CPU of a 60-second game at 800x600 and 3840x2160 (PLAY=0 leaves it out).
# Usage: bench/compare.sh [BUILD_DIR] [RUNS]   (run `make` first; as root it
# installs tuxtype and pulseaudio when missing)
# The first paint is measured apart, in PAINTS rounds (default 12) that start
# Yumble and the floor in turn, each killed at its paint: one run's figure is
# then far steadier than one start a run. PAINT_ONLY=1 measures that alone (about
# 30 s); BEFORE=OTHER_BUILD_DIR adds that build's Yumble to each round.
set -euo pipefail

build=$(realpath "${1:-build}")
runs=${2:-5}
here=$(dirname "$(realpath "$0")")
yumble=$build/bin/yumble
before=${BEFORE:+$(realpath "${BEFORE:-}")/bin/yumble}
paints=${PAINTS:-12}
only=${PAINT_ONLY:-0}
tuxtype=/usr/games/tuxtype
[ -x "$yumble" ] || { echo "build first: $yumble is missing" >&2; exit 2; }
[ -z "$before" ] || [ -x "$before" ] || { echo "no Yumble in BEFORE: $before" >&2; exit 2; }
if [ "$only" = 1 ]; then
  :
elif [ ! -x "$tuxtype" ] || ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
  apt-get install -y --no-install-recommends tuxtype pulseaudio pulseaudio-utils >/dev/null
fi

. "$here/lib.sh"
begin_bench
start_xvfb "$work"
[ "$only" = 1 ] || start_pulse "$work"
mkdir -p "$work/home"  # Tux Typing keeps its settings there

# Yumble's opening: the greeting, the talking ticks, a pause and both parts of
# the directions; Tux Typing is given the same time to settle on its menu.
# Then the game keeps the sound card for HOLD seconds after its last sound
# (app/sdl/mixer_audio.h), and a second more for it to be let go: the
# wake-ups are counted once the game is left alone.
hold=${HOLD:-10}
opening=$(soxi -D "$build/bin/yumdir.wav" "$build/bin/yumdir2.wav" |
  awk -v hold="$hold" '{s += $1} END {print s + 2.4 + 2 + 1 + hold + 1}')
window=10
hz=$(getconf CLK_TCK)

switches() {  # per thread of $1 and its children: its id and its context switches so far
  for t in $(family "$1" | sed 's|.*|/proc/&/task/*|'); do
    awk -v t="${t##*/}" '/^(non)?voluntary_ctxt_switches/ {s += $2} END {print t, s}' "$t/status" 2>/dev/null || true
  done
}
# Context switches of $1 over $2 seconds, read twice a second so that a thread
# that ends meanwhile still counts up to its last reading, and one that starts
# counts from zero.
switched() {  # pid seconds
  local i
  for i in $(seq 0 $(($2 * 2))); do
    switches "$1" | sed "s/^/$i /"
    if [ "$i" -lt $(($2 * 2)) ]; then sleep 0.5; fi
  done | awk '$1 == 0 {first[$2] = $3} {last[$2] = $3}
              END {for (t in last) s += last[t] - first[t]; print s + 0}'
}
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
stop() {
  kill "$1" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done
  kill -9 "$1" 2>/dev/null || true
}
settle() { sleep 1; }  # the X server tidies up after the last program

# One run of one program: first paint, memory, wake-ups, on the given driver.
measure() {  # name driver command...
  local name=$1 driver=$2 pid s p0 p1 paint
  shift 2
  # SDL 1.2, which Tux Typing is built on, names the PulseAudio driver "pulse".
  local sdl_driver=$driver
  [ "$name" = tuxtype ] && [ "$driver" = pulseaudio ] && sdl_driver=pulse
  paint=$(env HOME="$work/home" SDL_AUDIODRIVER="$sdl_driver" \
    python3 "$here/first_paint.py" "$work/pid" "$@" 2>>"$work/$name.err" </dev/null) || paint=nan
  pid=$(cat "$work/pid")
  pids+=("$pid")
  [ "$driver" = dummy ] && echo "$paint" >>"$work/$name.paint"
  sleep "$opening"
  if [ "$driver" = dummy ]; then
    program_memory "$pid" >>"$work/$name.mem"
  fi
  p0=$(cpu "$pulse")
  s=$(switched "$pid" "$window")
  p1=$(cpu "$pulse")
  echo "$s $window" | awk '{print $1 / $2}' >>"$work/$name.$driver.wakeups"
  [ "$driver" = pulseaudio ] &&
    awk -v a="$p0" -v b="$p1" -v hz="$hz" -v w="$window" 'BEGIN {print (b - a) * 100 / hz / w}' \
      >>"$work/$name.server"
  stop "$pid"
  settle
}

# A start killed at its first paint: the time again, and the CPU spent by
# then (first_paint.py --cpu), steadier than the time on a busy machine.
paint_cpu() {  # name command...
  local name=$1
  shift
  env HOME="$work/home" SDL_AUDIODRIVER=dummy python3 "$here/first_paint.py" --cpu "$work/pid" \
    "$@" 2>>"$work/$name.err" </dev/null >>"$work/$name.cpu" || echo "nan nan" >>"$work/$name.cpu"
  settle
}

# The floor's picture: the game's first screen, as X shows it.
SDL_AUDIODRIVER=dummy python3 "$here/first_paint.py" "$work/pid" "$yumble" >/dev/null 2>&1
sleep 1
import -window root BMP3:"$work/first.bmp"
stop "$(cat "$work/pid")"
settle
floor=("$build/bin/sdl_floor" "$work/first.bmp" "$(fc-match -f '%{file}' 'Comic Neue:bold')" "$build/bin/ribbit.wav")

# The first paint: each round starts every program once, in turn, the order
# turned round every other round; the machine's load moves them alike.
for round in $(seq "$paints"); do
  echo "first paint, round $round of $paints..." >&2
  names=(yumble floor ${before:+before})
  [ $((round % 2)) = 1 ] || mapfile -t names < <(printf '%s\n' "${names[@]}" | tac)
  for name in "${names[@]}"; do
    case $name in
      yumble) paint_cpu yumble "$yumble" ;;
      floor) paint_cpu floor "${floor[@]}" ;;
      before) paint_cpu before "$before" ;;
    esac
  done
done
[ "$only" = 1 ] && runs=0

for run in $(seq "$runs"); do
  echo "run $run of $runs..." >&2
  for driver in dummy pulseaudio; do
    measure yumble "$driver" "$yumble" >/dev/null 2>&1
    measure floor "$driver" "${floor[@]}" >/dev/null 2>&1
    measure tuxtype "$driver" "$tuxtype" >/dev/null 2>&1
  done
done

python3 - "$work" <<'PY'
import math, statistics, sys
work = sys.argv[1]
def column(name, i=0):
    try:
        rows = [line.split() for line in open(f"{work}/{name}")]
    except FileNotFoundError:
        return []
    return [float(r[i]) for r in rows if len(r) > i and r[i] != "nan"]
def median(xs):
    return statistics.median(xs) if xs else math.nan
figures = [
    ("exec to first real paint (ms)", "cpu", 0, "1.1x the floor"),
    ("CPU time spent by the paint (ms)", "cpu", 1, ""),
    ("first paint in the full starts (ms)", "paint", 0, "half of Tux Typing's"),
    ("memory held after the opening (MB)", "mem", 2, "the floor + 3 MiB"),
    ("RSS summed after the opening (MB)", "mem", 0, ""),
    ("PSS summed after the opening (MB)", "mem", 1, ""),
    ("wake-ups/s waiting, dummy driver", "dummy.wakeups", 0, "at most 1/s"),
    ("wake-ups/s waiting, PulseAudio", "pulseaudio.wakeups", 0, "at most 1/s"),
    ("sound server CPU while waiting (%)", "server", 0, "0.0 %"),
]
print(f"{'figure (median)':38} {'Yumble':>9} {'SDL floor':>9} {'ratio':>6} {'Tux Typing':>11} {'ratio':>6}  goal")
for title, file, i, goal in figures:
    if not column(f"yumble.{file}", i):
        continue
    y, f, t = (median(column(f"{n}.{file}", i)) for n in ("yumble", "floor", "tuxtype"))
    rf = f"{y / f:6.2f}" if f else "     -"
    rt = f"{y / t:6.2f}" if t else "     -"
    print(f"{title:38} {y:9.2f} {f:9.2f} {rf} {t:11.2f} {rt}  {goal}")
    if file == "cpu" and column(f"before.{file}", i):
        b = median(column(f"before.{file}", i))
        print(f"{'  BEFORE build':38} {b:9.2f} {f:9.2f} {b / f:6.2f}   (this build / BEFORE: {y / b:.2f})")
# Each round's starts side by side: the load of that moment moves both.
for name, title in (("yumble", "Yumble"), ("before", "BEFORE")):
    raw = lambda n, i: [float(r.split()[i]) for r in open(f"{work}/{n}.cpu")] if column(f"{n}.cpu") else []
    pairs = [p for p in zip(raw(name, 0), raw(name, 1), raw("floor", 0), raw("floor", 1))
             if not any(map(math.isnan, p))]
    if pairs:
        print(f"{title} / floor, median of the {len(pairs)} rounds' ratios: first paint "
              f"{median([w / fw for w, _, fw, _ in pairs]):.2f}, CPU {median([c / fc for _, c, _, fc in pairs]):.2f}")
for name, title in (("yumble", "Yumble"), ("floor", "SDL floor"), ("before", "BEFORE")):
    if column(f"{name}.cpu"):
        print(f"{title} first paints, ms and CPU ms: " +
              " ".join(f"{w:.0f}/{c:.0f}" for w, c in zip(column(f"{name}.cpu"), column(f"{name}.cpu", 1))))
for name, title in (("yumble", "Yumble"), ("floor", "SDL floor"), ("tuxtype", "Tux Typing")):
    if column(f"{name}.paint"):
        print(f"{title} first paints in the full starts (ms): " + " ".join(f"{x:.0f}" for x in column(f"{name}.paint")))
PY

if [ "${PLAY:-1}" != 0 ] && [ "$only" != 1 ]; then
  echo
  stop "$xvfb"
  stop "$pulse"
  "$here/play_cpu.sh" "$build" 1
fi
