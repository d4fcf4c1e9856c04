#!/usr/bin/env bash
# Which threads call SDL and SDL_ttf. The game runs under gdb on a private
# Xvfb with openbox, a breakpoint on every function the two libraries export;
# a call from any thread but the main one is logged with its caller. It plays
# to a reward and past it, is started a second time (which brings the first
# forward) and is ended with SIGTERM. Prints the calls off the main thread,
# counted by thread, function and caller. (SDL's own threads call the
# library's inner functions, which no breakpoint sees.) Run by hand; needs
# gdb, Xvfb, openbox and xdotool.
# Usage: tools/sdl_threads.sh BIN_DIR [DISPLAY_NUMBER]
set -euo pipefail

bin=$(realpath "${1:?usage: $0 BIN_DIR [DISPLAY_NUMBER]}")
for tool in gdb Xvfb openbox xdotool xwininfo; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 2; }
done
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

Xvfb ${2:+:$2} -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
  2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do timeout 5 wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done

# SDL's dummy sound device always opens, so the sound host starts once: gdb
# takes seconds over every fork. A call off the main thread (gdb's thread 1)
# is logged; the condition keeps the main thread's calls quick.
cat >"$work/watch.py" <<'EOF'
import gdb
def hit():
    f = gdb.newest_frame()
    if "@plt" in (f.name() or ""):
        return  # the program's jump to the library: logged there
    t = gdb.selected_thread()
    up = f.older()
    print("off-main: thread %d (%s) %s from %s" % (t.num, t.name, f.name(), up.name() if up else "?"))
def watch(pattern):
    before = {b.number for b in gdb.breakpoints()}
    gdb.execute("rbreak " + pattern, to_string=True)
    for b in gdb.breakpoints():
        if b.number not in before:
            b.condition = "$_thread != 1"
            b.commands = "silent\npython hit()\ncontinue"
watch("^SDL_")
watch("^TTF_")
print("watching %d functions" % len(gdb.breakpoints()))
EOF
SDL_AUDIODRIVER=dummy gdb --batch -q -ex 'set pagination off' -ex 'set print thread-events off' \
  -ex 'handle SIGUSR1 nostop noprint pass' -ex 'handle SIGTERM nostop noprint pass' \
  -ex 'handle SIGPIPE nostop noprint pass' -ex 'break main' -ex run -ex 'delete' \
  -ex "source $work/watch.py" -ex continue \
  --args "$bin/yumble" >"$work/gdb.log" 2>&1 &
gdb=$!
pids+=($gdb)

# A root property changed each round wakes openbox, which may have read the
# window's request to be shown while it was starting and then sleep on it.
wid=""
for n in $(seq 120); do
  xprop -root -f _SDL_THREADS_POKE 32c -set _SDL_THREADS_POKE "$n"
  wid=$(xdotool search --onlyvisible --name '^Yumble$' 2>/dev/null | head -1) && [ -n "$wid" ] && break
  sleep 1
done
[ -n "$wid" ] || { echo "the game's window did not appear" >&2; tail "$work/gdb.log" >&2; exit 1; }
echo "window up; the opening plays" >&2
sleep 20 # the opening, slowed by the breakpoints
reward=""
for _ in $(seq 40); do
  xdotool type --delay 20 abcdefghijklmnopqrstuvwxyz
  sleep 2
  timeout 5 xwininfo -root -tree | grep -q '"Form1"' && reward=yes && break
done
[ -n "$reward" ] && echo "the reward is up" >&2 || echo "no reward came" >&2
[ -z "${SHOT:-}" ] || import -window root "$SHOT"
sleep 10
"$bin/yumble" && echo "second start: status 0"
sleep 3
xdotool type --delay 20 abcdefghijklmnopqrstuvwxyz
sleep 3
pid=$(pgrep -P "$gdb" -x yumble)
kill -TERM "$pid"
wait "$gdb" || true
grep -E '^watching' "$work/gdb.log"
echo "reward reached: ${reward:-no}"
echo "calls off the main thread:"
grep '^off-main:' "$work/gdb.log" | sort | uniq -c | sort -rn || echo "  none"
