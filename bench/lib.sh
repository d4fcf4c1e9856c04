# Shared by the bench scripts: a private X server and a private sound server.
# Each start_* sets variables and appends the process to the pids array that
# the caller's cleanup kills.

# A scratch folder in $work, and the processes in pids stopped at exit.
begin_bench() {
  work=$(mktemp -d)
  pids=()
  trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
}

# Xvfb at 1280x1024 (or SIZE) with a black root and no window manager; sets
# DISPLAY. BENCH_DISPLAY picks its number, else the first free one.
# A desktop's X server lives as long as the session: its panel and window
# manager stay connected. Left alone, Xvfb starts afresh each time its last
# client leaves, and whichever program comes next pays for the new keyboard
# map (about 17 ms of waiting in SDL_Init), so -noreset keeps it alive as a
# desktop would.
start_xvfb() {  # workdir [size]
  rm -f "$1/display"
  Xvfb ${BENCH_DISPLAY:+:$BENCH_DISPLAY} -displayfd 3 -screen 0 "${2:-1280x1024}x24" -br -noreset \
    -nolisten tcp 3>"$1/display" 2>/dev/null &
  xvfb=$!
  pids+=($!)
  for _ in $(seq 100); do [ -s "$1/display" ] && break; sleep 0.05; done
  export DISPLAY=:$(cat "$1/display")
}

# PulseAudio with one null sink named bench, so nothing is heard and no other
# client's stream counts; sets pulse (its pid) and PULSE_SERVER for clients.
start_pulse() {  # workdir
  mkdir -p "$1/pulse" "$1/pulse-home"
  PULSE_RUNTIME_PATH=$1/pulse HOME=$1/pulse-home pulseaudio -n --daemonize=no \
    --exit-idle-time=-1 --disallow-exit --use-pid-file=no --log-target=file:"$1/pulse.log" ${PULSE_LOG:+--log-level=$PULSE_LOG --log-time=1} \
    -L "module-null-sink sink_name=bench" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$1/pulse/native" 2>/dev/null &
  pulse=$!
  pids+=("$pulse")
  for _ in $(seq 100); do [ -S "$1/pulse/native" ] && break; sleep 0.05; done
  export PULSE_SERVER=unix:$1/pulse/native
}

# A program with the processes it started: Yumble plays its sounds from a
# sound host process of its own, whose cost is the program's too.
family() { echo "$1"; pgrep -P "$1" 2>/dev/null || true; }
# CPU ticks of a program and its children, those already ended and reaped
# (a sound host that was replaced) included.
program_cpu() {  # pid
  local p t
  t=$(awk '{print $14 + $15 + $16 + $17}' "/proc/$1/stat")
  for p in $(pgrep -P "$1" 2>/dev/null); do
    t=$((t + $(awk '{print $14 + $15}' "/proc/$p/stat" 2>/dev/null || echo 0)))
  done
  echo "$t"
}
# Resident memory of a program and its children, in MiB: the sum of their
# RSS, the sum of their PSS, and the pages they hold, each page counted once
# however many of them map it (pages.py; for one process, its RSS).
program_memory() {  # pid
  local p
  for p in $(family "$1"); do cat "/proc/$p/smaps_rollup" 2>/dev/null || true; done |
    awk -v held="$(python3 "$(dirname "${BASH_SOURCE[0]}")/pages.py" $(family "$1"))" \
      '/^Rss:/ {r += $2} /^Pss:/ {p += $2} END {print r / 1024, p / 1024, held}'
}
