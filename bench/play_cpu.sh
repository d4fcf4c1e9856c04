#!/usr/bin/env bash
# The CPU a game session costs, Yumble beside Tux Typing in one run: a key
# every 1.5 s for 60 s, at each screen size (800x600 and 3840x2160 unless
# given), on a private Xvfb of that size and a private PulseAudio with a null
# sink. Counted from /proc/PID/stat (user + system time) for the program (with
# its sound host process), the X server and the sound server over the 60 s. Yumble is typed the letter it
# shows (read from its timed build's log) and the figure is per eaten letter;
# Tux Typing is started in its Fish Cascade (Easy, Short Words) and typed the
# alphabet in turn, per key. Runs alternate between the two; medians.
# Usage: bench/play_cpu.sh [BUILD_DIR] [RUNS] [SIZE...]   (run `make` first)
# BEFORE=OTHER_BUILD_DIR also runs that build's Yumble after each one, for a
# change measured before and after in one run ("before" rows and figures).
set -euo pipefail

build=$(realpath "${1:-build}")
runs=${2:-1}
shift $(($# > 2 ? 2 : $#))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(800x600 3840x2160)
here=$(dirname "$(realpath "$0")")
bin=$build/bin
tuxtype=/usr/games/tuxtype
[ -x "$bin/yumble_timed" ] || { echo "build first: $bin/yumble_timed is missing" >&2; exit 2; }
[ -x "$tuxtype" ] || { echo "tuxtype is missing (apt-get install tuxtype)" >&2; exit 2; }

. "$here/lib.sh"
begin_bench
start_pulse "$work"
mkdir -p "$work/home"
results=$work/results
seconds=60
keys=40  # one every 1.5 s
hz=$(getconf CLK_TCK)
opening=$(soxi -D "$bin/yumdir.wav" "$bin/yumdir2.wav" | awk '{s += $1} END {print s + 2.4 + 2 + 1 + 1}')

cpu() { program_cpu "$1"; }
stop() {
  kill "$1" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done
  kill -9 "$1" 2>/dev/null || true
}
now() { date +%s%N; }
# Gone, or ended and not yet waited for (its /proc entry stays, as a zombie).
ended() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null || true)
  [ -z "$state" ] || [ "$state" = Z ]
}
# Sleeps until key i of the session is due (start in ns).
due() { # start i
  local left=$((($1 + $2 * seconds * 1000000000 / keys - $(now)) / 1000000))
  [ "$left" -gt 0 ] && sleep "$(awk -v ms="$left" 'BEGIN {print ms / 1000}')" || true
}

# One session: counts the CPU of the program, the X server and the sound
# server while `type_key I` is called every 1.5 s, then appends
# "name size program_ms x_ms sound_ms count" where count is what the figure is per.
# A program that ends before the minute is over gives "name size ended SECONDS
# STATUS" instead (what it said is in $work/NAME.err, printed at the end).
session() {  # name size pid count_command
  local name=$1 size=$2 pid=$3 counter=$4 p0 x0 s0 n0 start i status
  p0=$(cpu "$pid") x0=$(cpu "$xvfb") s0=$(cpu "$pulse") n0=$($counter)
  start=$(now)
  for i in $(seq 0 "$keys"); do
    due "$start" "$i"
    if ended "$pid"; then
      status=0
      wait "$pid" || status=$?
      echo "$name $size ended $((($(now) - start) / 1000000000)) $status" >>"$results"
      return
    fi
    [ "$i" = "$keys" ] || type_key "$i"
  done
  echo "$name $size $(cpu "$pid") $p0 $(cpu "$xvfb") $x0 $(cpu "$pulse") $s0 $(($($counter) - n0))" |
    awk -v hz="$hz" '{f = 1000 / hz; print $1, $2, ($3 - $4) * f, ($5 - $6) * f, ($7 - $8) * f, $9}' \
      >>"$results"
}

run_yumble() {  # size [name bin]
  local log=$work/yumble.log pid wid
  rm -f "$log"
  echo "== ${2:-yumble} $1, run $run" >>"$work/yumble.err"
  SDL_AUDIODRIVER=pulseaudio "${3:-$bin}/yumble_timed" "$log" >/dev/null 2>>"$work/yumble.err" &
  pid=$!
  pids+=("$pid")
  until grep -q first-paint "$log" 2>/dev/null || ended "$pid"; do sleep 0.05; done
  sleep "$opening"
  wid=$(xdotool search --sync --name '^Yumble$' | head -1)
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  eaten() { grep -c ' score ' "$log" || true; }
  type_key() { xdotool key "$(awk '$2 == "letter" {l = $3} END {print tolower(l)}' "$log")"; }
  session "${2:-yumble}" "$1" "$pid" eaten
  stop "$pid"
}

run_tuxtype() {  # size
  local width=${1%x*} pid wid
  echo "== $1, run $run" >>"$work/tuxtype.err"
  HOME=$work/home SDL_AUDIODRIVER=pulse "$tuxtype" >/dev/null 2>>"$work/tuxtype.err" &
  pid=$!
  pids+=("$pid")
  sleep 5
  # Its menus stand at the same place on any screen: Fish Cascade, Easy, Short Words.
  xdotool mousemove $((width / 2 - 20)) 128 click 1
  sleep 1.5
  xdotool mousemove $((width / 2 - 20)) 128 click 1
  sleep 1.5
  xdotool mousemove $((width / 2)) 45 click 1
  sleep 3
  xdotool mousemove 0 0
  wid=$(xdotool search --name 'Tux Typing' | head -1)
  xdotool windowfocus --sync "$wid" 2>/dev/null || true
  letters=abcdefghijklmnopqrstuvwxyz
  typed() { echo 0; }
  type_key() { xdotool key "${letters:$(($1 % 26)):1}"; }
  session tuxtype "$1" "$pid" typed
  stop "$pid"
}

for size in "${sizes[@]}"; do
  start_xvfb "$work" "$size"
  for run in $(seq "$runs"); do
    echo "$size: run $run of $runs..." >&2
    run_yumble "$size"
    sleep 1
    [ -z "${BEFORE:-}" ] || { run_yumble "$size" before "$(realpath "$BEFORE")/bin" && sleep 1; }
    run_tuxtype "$size"
    sleep 1
  done
  stop "$xvfb"
done

# What a program said on its standard error when it ended by itself, and
# anything Yumble said.
for name in yumble tuxtype; do
  if grep -q "^$name .* ended " "$results" || { [ $name = yumble ] && grep -qv '^== ' "$work/$name.err"; }; then
    echo "$name's standard error:" >&2
    sed 's/^/  /' "$work/$name.err" >&2
  fi
done

python3 - "$results" "$keys" "$seconds" <<'PY'
import statistics, sys
every = [l.split() for l in open(sys.argv[1])]
rows = [r for r in every if r[2] != "ended"]
keys, session = int(sys.argv[2]), int(sys.argv[3])
for r in every:
    if r[2] == "ended":
        print(f"{r[0]} at {r[1]} ENDED BY ITSELF {r[3]} s into its minute, status {r[4]}: not counted")
def med(name, size, i):
    xs = [float(r[i]) for r in rows if r[0] == name and r[1] == size]
    return statistics.median(xs) if xs else float("nan")
sizes = list(dict.fromkeys(r[1] for r in rows))
print(f"{'CPU, ms (median)':34} {'Yumble':>9} {'Tux Typing':>11} {'ratio':>7}")
for size in sizes:
    eaten = med("yumble", size, 5)
    print(f"{size}: Yumble ate {eaten:.0f} letters, Tux Typing was typed {keys} keys in {session} s")
    totals = {}
    for title, i in (("program", 2), ("X server", 3), ("sound server", 4)):
        y, t = med("yumble", size, i), med("tuxtype", size, i)
        totals[title] = (y, t)
        print(f"  {title + ' per letter/key':32} {y / eaten:9.1f} {t / keys:11.1f} {y / eaten / (t / keys) if t else float('nan'):7.2f}")
    y = sum(v[0] for v in totals.values()); t = sum(v[1] for v in totals.values())
    print(f"  {'all three, the whole session':32} {y:9.0f} {t:11.0f} {y / t if t else float('nan'):7.2f}")
    if any(r[0] == "before" and r[1] == size for r in rows):
        b = med("before", size, 5)
        print(f"  before (BEFORE's build, {b:.0f} letters): per letter program {med('before', size, 2) / b:.1f},"
              f" X {med('before', size, 3) / b:.1f}, sound server {med('before', size, 4) / b:.1f}")
    # Each run beside the Tux Typing run that followed it: the machine's load moves both.
    ys = [r for r in every if r[0] == "yumble" and r[1] == size]
    ts = [r for r in every if r[0] == "tuxtype" and r[1] == size]
    bs = [r for r in every if r[0] == "before" and r[1] == size]
    for i, (a, b) in enumerate(zip(ys, ts), 1):
        if "ended" in (a[2], b[2]):
            print(f"  run {i}: {' '.join(a)} / {' '.join(b)}")
            continue
        ya, tb = sum(map(float, a[2:5])), sum(map(float, b[2:5]))
        print(f"  run {i}: Yumble {ya:.0f} ms ({a[5]} letters; program {float(a[2]):.0f}, X {float(a[3]):.0f},"
              f" sound {float(a[4]):.0f}; per letter {float(a[2]) / float(a[5]):.1f} / {float(a[3]) / float(a[5]):.1f}"
              f" / {float(a[4]) / float(a[5]):.1f}), Tux Typing {tb:.0f}, ratio {ya / tb if tb else float('nan'):.2f}")
        if i <= len(bs) and "ended" not in bs[i - 1][2]:
            c = bs[i - 1]
            print(f"         before: {sum(map(float, c[2:5])):.0f} ms ({c[5]} letters; per letter"
                  f" {float(c[2]) / float(c[5]):.1f} / {float(c[3]) / float(c[5]):.1f} / {float(c[4]) / float(c[5]):.1f})")
PY
