#!/usr/bin/env bash
# Yumble beside Tux Typing, the lightest similar program, in one run under a
# private Xvfb (1280x1024, no window manager), RUNS runs each, medians:
#   exec to first real paint (the screen watched from outside, the same way
#   for both), resident memory once the opening is over (RSS and PSS), and
#   wake-ups per second while waiting for a key, silent on SDL's dummy sound
#   driver and on a private PulseAudio server with a null sink, together with
#   that server's CPU share over the same seconds.
# Usage: bench/compare.sh [BUILD_DIR] [RUNS]   (run `make` first; as root it
# installs tuxtype and pulseaudio when missing)
set -euo pipefail

build=$(realpath "${1:-build}")
runs=${2:-5}
here=$(dirname "$(realpath "$0")")
yumble=$build/bin/yumble
tuxtype=/usr/games/tuxtype
[ -x "$yumble" ] || { echo "build first: $yumble is missing" >&2; exit 2; }
if [ ! -x "$tuxtype" ] || ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
  apt-get install -y --no-install-recommends tuxtype pulseaudio pulseaudio-utils >/dev/null
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -br -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$work/display")

# A sound server of our own with a null sink, so nothing is heard and no other
# client's stream is counted.
mkdir -p "$work/pulse" "$work/home"
PULSE_RUNTIME_PATH=$work/pulse HOME=$work/home pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --disallow-exit --use-pid-file=no --log-target=file:"$work/pulse.log" \
  -L "module-null-sink sink_name=bench" \
  -L "module-native-protocol-unix auth-anonymous=1 socket=$work/pulse/native" 2>/dev/null &
pulse=$!
pids+=("$pulse")
for _ in $(seq 100); do [ -S "$work/pulse/native" ] && break; sleep 0.05; done
pulse_server=unix:$work/pulse/native

# Yumble's opening: the greeting, the talking ticks, a pause and both parts of
# the directions; Tux Typing is given the same time to settle on its menu.
opening=$(soxi -D "$build/bin/yumdir.wav" "$build/bin/yumdir2.wav" | awk '{s += $1} END {print s + 2.4 + 2 + 1}')
window=10
hz=$(getconf CLK_TCK)

switches() {  # context switches of every thread of $1 so far
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches/ {s += $2} END {print s}'
}
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
stop() {
  kill "$1" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done
  kill -9 "$1" 2>/dev/null || true
}

# One run of one program: first paint, memory, wake-ups, on the given driver.
measure() {  # name driver command...
  local name=$1 driver=$2 pid s0 s1 p0 p1 paint
  shift 2
  paint=$(env HOME="$work/home" SDL_AUDIODRIVER="$driver" PULSE_SERVER="$pulse_server" \
    python3 "$here/first_paint.py" "$work/pid" "$@" 2>>"$work/$name.err" </dev/null) || paint=nan
  pid=$(cat "$work/pid")
  pids+=("$pid")
  [ "$driver" = dummy ] && echo "$paint" >>"$work/$name.paint"
  sleep "$opening"
  if [ "$driver" = dummy ]; then
    awk '/^Rss:/ {r = $2} /^Pss:/ {p = $2} END {print r / 1024, p / 1024}' \
      "/proc/$pid/smaps_rollup" >>"$work/$name.mem"
  fi
  s0=$(switches "$pid") p0=$(cpu "$pulse")
  sleep "$window"
  s1=$(switches "$pid") p1=$(cpu "$pulse")
  echo "$(( (s1 - s0) / window ))" >>"$work/$name.$driver.wakeups"
  [ "$driver" = pulseaudio ] &&
    awk -v a="$p0" -v b="$p1" -v hz="$hz" -v w="$window" 'BEGIN {print (b - a) * 100 / hz / w}' \
      >>"$work/$name.server"
  stop "$pid"
}

for run in $(seq "$runs"); do
  echo "run $run of $runs..." >&2
  for driver in dummy pulseaudio; do
    measure yumble "$driver" "$yumble" >/dev/null 2>&1
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
    ("exec to first real paint (ms)", "paint", 0, "at most 0.5"),
    ("RSS after the opening (MB)", "mem", 0, "at most 0.6"),
    ("PSS after the opening (MB)", "mem", 1, ""),
    ("wake-ups/s waiting, dummy driver", "dummy.wakeups", 0, "at most 1/s"),
    ("wake-ups/s waiting, PulseAudio", "pulseaudio.wakeups", 0, "at most 1/s"),
    ("sound server CPU while waiting (%)", "server", 0, "0.0 %"),
]
print(f"{'figure (median)':38} {'Yumble':>9} {'Tux Typing':>11} {'ratio':>7}  goal")
for title, file, i, goal in figures:
    y, t = median(column(f"yumble.{file}", i)), median(column(f"tuxtype.{file}", i))
    ratio = f"{y / t:7.2f}" if t else "      -"
    print(f"{title:38} {y:9.2f} {t:11.2f} {ratio}  {goal}")
runs = column("yumble.paint")
print("Yumble first paints (ms): " + " ".join(f"{x:.0f}" for x in runs))
print("Tux Typing first paints (ms): " + " ".join(f"{x:.0f}" for x in column("tuxtype.paint")))
PY
