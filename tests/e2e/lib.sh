# Shared by the end-to-end tests: a private X server (and, if asked, a window
# manager), the real program in it, screenshots, and cleaning up after all of
# it whatever happens. Every wait has a time limit.
#
# Usage in a test:  source lib.sh; e2e_begin NAME "$@"
set -euo pipefail

E2E_PIDS=()      # everything we started, stopped in reverse order
GAME_PID=""
GAME_STATUS=""

say() { echo "[$E2E_NAME] $*"; }

fail() {
  echo "[$E2E_NAME] FAIL: $*" >&2
  if [ -n "${E2E_WORK:-}" ] && [ -s "$E2E_WORK/game.log" ]; then
    echo "--- the program's output:" >&2
    grep -v '^ALSA lib' "$E2E_WORK/game.log" | tail -20 >&2 || true
  fi
  exit 1
}

e2e_cleanup() {
  stop_processes
  [ -n "${E2E_WORK:-}" ] && rm -rf "$E2E_WORK"
  return 0
}

# e2e_begin NAME BIN_DIR
e2e_begin() {
  E2E_NAME=$1
  BIN_DIR=$(cd "${2:?usage: $0 BIN_DIR}" && pwd)
  [ -x "$BIN_DIR/yumble" ] || fail "no program at $BIN_DIR/yumble"
  local tool
  for tool in Xvfb xdotool xwininfo xprop xmessage wmctrl openbox import convert compare timeout; do
    command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh installs it)"
  done
  E2E_WORK=$(mktemp -d "${TMPDIR:-/tmp}/yumble-e2e.XXXXXX")
  # Screenshots stay after the test, to be looked at.
  SHOTS="$BIN_DIR/../e2e-shots/$E2E_NAME"
  rm -rf "$SHOTS"
  mkdir -p "$SHOTS"
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  # No sound card is assumed; the program falls back to a silent device.
  unset SDL_VIDEODRIVER
}

# The first display of YUMBLE_E2E_DISPLAYS ("FIRST-LAST") that no X server
# holds; without it, Xvfb picks any free one itself.
free_display() {
  local range=${YUMBLE_E2E_DISPLAYS:-} n
  [ -n "$range" ] || return 0
  for n in $(seq "${range%-*}" "${range#*-}"); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { echo "$n"; return 0; }
  done
  fail "no free display in $range"
}

# launch_x WIDTH HEIGHT: Xvfb on the first free display of the range, or any;
# fails if it ends before its socket is there.
launch_x() {
  : >"$E2E_WORK/display"
  local chosen n
  chosen=$(free_display)
  if [ -n "$chosen" ]; then
    echo "$chosen" >"$E2E_WORK/display"
    Xvfb ":$chosen" -screen 0 "${1}x${2}x24" -nolisten tcp -noreset \
      >"$E2E_WORK/xvfb.log" 2>&1 &
  else
    Xvfb -displayfd 3 -screen 0 "${1}x${2}x24" -nolisten tcp -noreset \
      3>"$E2E_WORK/display" >"$E2E_WORK/xvfb.log" 2>&1 &
  fi
  XVFB_PID=$!
  E2E_PIDS+=("$XVFB_PID")
  local try
  for try in $(seq 200); do
    # Ready once its socket is there; a display chosen here also once its
    # lock names this server (Xvfb's own choice takes no lock file).
    n=$(head -1 "$E2E_WORK/display")
    [ -n "$n" ] && [ -e "/tmp/.X11-unix/X$n" ] &&
      { [ -z "$chosen" ] || [ "$(cat "/tmp/.X$n-lock" 2>/dev/null | tr -d ' ')" = "$XVFB_PID" ]; } && return 0
    kill -0 "$XVFB_PID" 2>/dev/null || return 1
    sleep 0.1
  done
  fail "Xvfb gave no display"
}

# start_x WIDTH HEIGHT [openbox|xfwm4]: a fresh X server on a free display.
start_x() {
  local w=$1 h=$2 wm=${3:-}
  stop_processes
  local attempt
  # Two scripts at once may choose the same free display: the one whose X
  # server loses takes the next.
  for attempt in 1 2 3; do
    launch_x "$w" "$h" && break
    [ "$attempt" -lt 3 ] || fail "Xvfb did not start: $(cat "$E2E_WORK/xvfb.log")"
  done
  export DISPLAY=":$(head -1 "$E2E_WORK/display")"
  unset WAYLAND_DISPLAY
  SCREEN_W=$w SCREEN_H=$h WM=$wm
  SCALE=$(scale_for "$w" "$h")
  REWARD_W=$(px 420) REWARD_H=$(px 487)
  unset DBUS_SESSION_BUS_ADDRESS
  case $wm in
    openbox)
      openbox --sm-disable >"$E2E_WORK/openbox.log" 2>&1 &
      E2E_PIDS+=($!)
      ;;
    xfwm4)
      # With its panel; both need a session bus, and keep their settings here.
      dbus-daemon --session --fork --address="unix:path=$E2E_WORK/bus" --print-pid \
        >"$E2E_WORK/bus.pid" || fail "no session bus"
      E2E_PIDS+=("$(cat "$E2E_WORK/bus.pid")")
      export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_WORK/bus"
      XDG_CONFIG_HOME="$E2E_WORK/config" xfwm4 >"$E2E_WORK/xfwm4.log" 2>&1 &
      E2E_PIDS+=($!)
      XDG_CONFIG_HOME="$E2E_WORK/config" xfce4-panel >"$E2E_WORK/panel.log" 2>&1 &
      E2E_PIDS+=($!)
      ;;
  esac
  if [ -n "$wm" ]; then
    for n in $(seq 100); do
      timeout 5 wmctrl -m >/dev/null 2>&1 &&
        { [ "$wm" != xfwm4 ] || [ -n "$(window_titled xfce4-panel)" ]; } && break
      sleep 0.1
    done
    timeout 5 wmctrl -m >/dev/null 2>&1 || fail "$wm did not start"
    wm_ready
  fi
  say "X server $DISPLAY ${w}x${h}${wm:+ with $wm}"
}

# A window manager answers wmctrl as soon as it has claimed the screen, while
# it is still starting. openbox 3.6 keeps what it read meanwhile (a window
# asking to be shown) in a queue of its own, which its loop looks at only when
# the next event comes: the window stays unmapped until then. Ready once a
# window of ours is managed, with a root property changed each round to wake it.
wm_ready() {
  xmessage -title yumble-e2e-probe -geometry +0+0 probe >/dev/null 2>&1 &
  local probe=$! n managed=""
  for n in $(seq 100); do
    timeout 5 xprop -root -f _YUMBLE_E2E_POKE 32c -set _YUMBLE_E2E_POKE "$n" || true
    [[ $(timeout 5 xprop -name yumble-e2e-probe WM_STATE 2>/dev/null) == *Normal* ]] &&
      managed=yes && break
    sleep 0.1
  done
  kill "$probe" 2>/dev/null || true
  wait "$probe" 2>/dev/null || true
  [ -n "$managed" ] || fail "$WM manages no window"
}

# Stops everything started so far, newest first.
stop_processes() {
  local i pid
  for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
    pid=${E2E_PIDS[i]}
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  E2E_PIDS=()
  GAME_PID=""
}

# start_game [DIR]: the program from DIR (default BIN_DIR).
start_game() {
  local dir=${1:-$BIN_DIR}
  "$dir/yumble" >"$E2E_WORK/game.log" 2>&1 &
  GAME_PID=$!
  GAME_STATUS=""
  E2E_PIDS+=("$GAME_PID")
}

# wait_window: prints the id of the program's visible window.
wait_window() {
  local wid
  wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Yumble$' 2>/dev/null | sed -n 1p) ||
    true
  [ -n "$wid" ] || fail "the program's window did not appear"
  echo "$wid"
}

# The id of a window listed by its exact title in the whole tree, or nothing.
window_titled() {
  timeout 5 xwininfo -root -tree 2>/dev/null |
    awk -v t=" \"$1\": " 'index($0, t) && !id { id = $1 } END { print id }'
}

# wait_titled TITLE SECONDS: the id once a window with that title exists.
wait_titled() {
  local id n
  for n in $(seq $(($2 * 5))); do
    id=$(window_titled "$1")
    [ -n "$id" ] && { echo "$id"; return 0; }
    game_running || fail "the program ended while waiting for \"$1\""
    sleep 0.2
  done
  return 1
}

# Whether another program could take the keyboard now.
keyboard_free() { timeout 5 "${KEYBOARD_FREE_TOOL:-$BIN_DIR/../tools/keyboard_free}"; }

game_running() { [ -n "$GAME_PID" ] && kill -0 "$GAME_PID" 2>/dev/null; }

# wait_exit SECONDS: sets GAME_STATUS once the program has ended.
wait_exit() {
  local n
  for n in $(seq $(($1 * 10))); do
    game_running || { reap; return 0; }
    sleep 0.1
  done
  fail "the program did not end within $1 s"
}

# Sets GAME_STATUS to the ended program's exit status.
reap() { GAME_STATUS=0; wait "$GAME_PID" || GAME_STATUS=$?; }

# closes_cleanly WID WHAT: a close request ends the program with status 0.
closes_cleanly() {
  close_request "$1"
  wait_exit 15
  [ "$GAME_STATUS" = 0 ] || fail "$2: exit status $GAME_STATUS after a close request"
}

# shot NAME [WINDOW]: a screenshot of the screen (or one window) into SHOTS.
shot() {
  local file="$SHOTS/$1.png"
  timeout 20 import -window "${2:-root}" "$file" || fail "no screenshot $1"
  echo "$file"
}

# mask FILE X Y W H TEST ARG...: ImageMagick's convert on the area made white
# where TEST holds and black elsewhere, then ARG...; TEST is either an -fx
# expression over r, g, b in 0..1, or operators that make that mask at once
# (-fx takes seconds over a large screen's area).
mask() {
  local file=$1 x=$2 y=$3 w=$4 h=$5 ops
  if [[ $6 == -* ]]; then read -ra ops <<<"$6"; else ops=(-fx "($6) ? 1 : 0"); fi
  shift 6
  timeout 60 convert "$file" -crop "${w}x${h}+${x}+${y}" +repage "${ops[@]}" "$@"
}

# count_pixels FILE X Y W H TEST: pixels of the area for which TEST holds.
count_pixels() { mask "$@" -format '%[fx:round(mean*w*h)]' info:; }

PURE_GREEN='r == 0 && g == 1 && b == 0'
# g > r + 0.1 && g > b + 0.1
GREENISH='-color-matrix -1,1,0,0,1,-1,0,0,0 -channel RG -threshold 10% -separate -evaluate-sequence min'
# The score line's colour.
PURPLE='abs(r - 0.753) < 0.02 && g < 0.02 && abs(b - 0.753) < 0.02'

# expect_pixels SECONDS MIN X Y W H FX WHAT: fails unless a screenshot of the
# area taken within SECONDS has at least MIN such pixels.
expect_pixels() {
  local secs=$1 min=$2 n count=0
  for n in $(seq $((secs * 4))); do
    rm -f "$E2E_WORK/poll.png"
    timeout 20 import -window root -crop "${5}x${6}+${3}+${4}" +repage "$E2E_WORK/poll.png" \
      2>/dev/null || true
    if [ -s "$E2E_WORK/poll.png" ]; then
      count=$(count_pixels "$E2E_WORK/poll.png" 0 0 "$5" "$6" "$7")
      [ "$count" -ge "$min" ] && return 0
    fi
    sleep 0.25
  done
  fail "$8 ($count pixels)"
}

# Geometry of a window as "X Y W H", absolute.
geometry() {
  timeout 5 xwininfo -id "$1" |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
         /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}

# close_request WID: asks the program's window to close, as a user would.
close_request() {
  if [ -n "$WM" ]; then
    timeout 5 wmctrl -c Yumble || fail "wmctrl -c failed"
  else
    # No window manager: send the request a desktop's tools would, with the
    # build's own tool (CLOSE_REQUEST_TOOL where the program is not in a build).
    timeout 5 "${CLOSE_REQUEST_TOOL:-$BIN_DIR/../tools/close_request}" "$1" ||
      fail "close_request failed"
  fi
}

# The game enlarges its designs, made for 800 x 600, by the smaller of the two
# ratios to the screen, never by less than 1.
scale_for() {
  awk -v w="$1" -v h="$2" 'BEGIN { s = w / 800; if (h / 600 < s) s = h / 600; if (s < 1) s = 1
    printf "%.6f\n", s }'
}

# px N: N pixels of the designs in pixels of the current screen, rounded as
# the program rounds.
px() {
  awk -v n="$1" -v s="${SCALE:-1}" 'BEGIN { v = n * s; printf "%d\n", v < 0 ? -int(-v + 0.5) : int(v + 0.5) }'
}

# bbox FILE X Y W H TEST: "x y w h" of the pixels of the area for which TEST
# holds, in the screen's coordinates; nothing if none.
bbox() {
  local x=$2 y=$3 box
  box=$(mask "$@" -bordercolor black -border 1 -format '%@' info:)
  # "WxH+X+Y" of what trimming the black leaves; all black trims to nothing.
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 0
  [ "${BASH_REMATCH[1]}" -gt 1 ] || [ "${BASH_REMATCH[2]}" -gt 1 ] || return 0
  echo "$((x + BASH_REMATCH[3] - 1)) $((y + BASH_REMATCH[4] - 1)) ${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
}

# reward_centred RW: sets x y w h of the reward window, failing unless it has
# its design size and is centred on the screen (give or take half a pixel).
reward_centred() {
  read -r x y w h <<<"$(geometry "$1")"
  [ "$w $h" = "$REWARD_W $REWARD_H" ] &&
    [ $((2 * x - (SCREEN_W - w))) -ge -2 ] && [ $((2 * x - (SCREEN_W - w))) -le 2 ] &&
    [ $((2 * y - (SCREEN_H - h))) -ge -2 ] && [ $((2 * y - (SCREEN_H - h))) -le 2 ] ||
    fail "reward window at $x $y ${w}x$h, not centred on ${SCREEN_W}x${SCREEN_H}"
}

# wait_reward_gone SECONDS [TITLE]: fails unless the reward window (or the
# window titled TITLE) closes in time.
wait_reward_gone() {
  local n title=${2:-Form1}
  for n in $(seq $(($1 * 5))); do
    [ -z "$(window_titled "$title")" ] && return 0
    game_running || fail "the program ended while \"$title\" was up"
    sleep 0.2
  done
  fail "the window \"$title\" stayed"
}

# on_top PNG WHAT: the screen shows the reward's sunken border (dark grey, then
# black, each line half the edge's width) just inside its edge, not the game.
on_top() {
  local edge outer count
  edge=$(px 2) outer=$(($(px 2) / 2))
  count=$(count_pixels "$1" $((x + $(px 8))) $((y + $(px 9))) "$(px 404)" 1 \
    'abs(r - 0.502) < 0.01 && abs(g - 0.502) < 0.01 && abs(b - 0.502) < 0.01')
  [ "$count" -ge "$(px 380)" ] || fail "$2: the reward window is not on top ($count border pixels)"
  count=$(count_pixels "$1" $((x + $(px 8) + outer)) $((y + $(px 9) + outer)) \
    $(($(px 404) - 2 * edge)) 1 'r == 0 && g == 0 && b == 0')
  [ "$count" -ge "$(px 380)" ] || fail "$2: the reward window is not on top ($count border pixels)"
}

# repainted PNG WHAT: where the reward was, the game window is mostly white.
repainted() {
  local count
  count=$(count_pixels "$1" "$x" "$y" "$REWARD_W" "$REWARD_H" 'r == 1 && g == 1 && b == 1')
  [ "$count" -ge $((REWARD_W * REWARD_H / 2)) ] ||
    fail "$2: the game window was not repainted where the reward was ($count white pixels)"
}

# r < 0.3 && g < 0.3 && b < 0.3; some of r, g, b < 0.94 (not the window's white)
DARK='-channel RGB -threshold 30% -separate -evaluate-sequence max -negate'
INKED='-channel RGB -threshold 94% -separate -evaluate-sequence min -negate'

RED='r > 0.6 && g < 0.3 && b < 0.3'

# wait_letter WHAT: fails unless the big letter is shown within 10 s.
wait_letter() {
  expect_pixels 10 1500 "$(px 101)" "$(px 149)" "$(px 109)" "$(px 140)" "$DARK" "no letter $1"
}

# wait_stop_sign SECONDS: fails unless the stop sign shows in the top-right corner in time.
wait_stop_sign() {
  expect_pixels "$1" 100 $((SCREEN_W - $(px 32))) 0 "$(px 32)" "$(px 32)" "$RED" "no stop sign"
}

# wait_arranged: fails unless the opening ends in the arranged screen (the stop
# sign; the talking frog, which is dark in places too, gone), then the letter.
wait_arranged() {
  wait_stop_sign 30
  wait_letter "after the opening"
}

# game_copy [FILE...]: GAME_DIR, a copy of the program and the files it reads,
# without the FILEs named.
game_copy() {
  GAME_DIR=$E2E_WORK/game
  rm -rf "$GAME_DIR"
  mkdir "$GAME_DIR"
  cp -a "$BIN_DIR"/*.bmp "$BIN_DIR"/*.qoi "$BIN_DIR"/*.wav "$BIN_DIR/yumble" "$GAME_DIR/"
  local f
  for f in "$@"; do rm "$GAME_DIR/$f"; done
}

# The whole alphabet: whichever letter is up gets eaten; the rest arrive while
# the frog eats, and are ignored.
feed_one() {
  timeout 20 xdotool type --delay 5 abcdefghijklmnopqrstuvwxyz || fail "xdotool type failed"
}

# eats_a_letter WHAT: the alphabet typed (each second: keys are not taken while
# the frog eats), the letter shown is eaten: the score changes within 5 s.
eats_a_letter() {
  local area n same
  area="${SCREEN_W}x$(px 70)+0+$(px 350)"
  timeout 20 import -window root -crop "$area" "$E2E_WORK/score-before.png"
  for n in $(seq 20); do
    [ $((n % 4)) = 1 ] && feed_one
    sleep 0.25
    timeout 20 import -window root -crop "$area" "$E2E_WORK/score-after.png"
    same=0
    timeout 20 compare -metric AE "$E2E_WORK/score-before.png" "$E2E_WORK/score-after.png" \
      null: 2>/dev/null || same=$?
    [ "$same" = 1 ] && return 0
  done
  fail "$1, a typed letter was not eaten (the score did not change)"
}

# play_until_reward WID: eats letters until the reward window shows; prints its id.
play_until_reward() {
  local rw="" n
  [ -n "$WM" ] || timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || true
  for n in $(seq 60); do
    # Each round eats one letter; keys typed while the next one is said are
    # taken after it, so a second is enough to see whether the reward came.
    feed_one
    for _ in $(seq 5); do
      rw=$(window_titled Form1)
      [ -n "$rw" ] && break 2
      sleep 0.2
    done
    game_running || fail "the program ended while playing"
  done
  [ -n "$rw" ] || fail "no reward window after many letters"
  echo "$rw"
}

# press_return_in WINDOW: Return, typed into that window. The box closes at
# the press, so the release finds no window and xdotool gives up on it: let
# the key go, or the X server would hold it down and repeat it into the next
# program.
press_return_in() {
  # The box takes the keyboard once the X server has shown it: keys before
  # that reach no window of the program.
  local n
  for n in $(seq 50); do
    [ "$(timeout 5 xdotool getwindowfocus 2>/dev/null)" = "$(($1))" ] && break
    sleep 0.1
  done
  timeout 5 xdotool key --window "$1" Return 2>/dev/null || true
  timeout 5 xdotool keyup Return 2>/dev/null || true
}

# ends_within LIMIT_MS WHAT T0: waits for the program to end, failing unless
# it ends with status 0 within LIMIT_MS of T0 (date +%s%N); sets QUIT_MS to
# the time it took. (Not in a subshell: only this shell can wait for it.)
ends_within() {
  local limit=$1 what=$2 t0=$3 ms
  while game_running; do
    ms=$((($(date +%s%N) - t0) / 1000000))
    [ "$ms" -le "$limit" ] || fail "still running $ms ms after $what"
    sleep 0.01
  done
  QUIT_MS=$((($(date +%s%N) - t0) / 1000000))
  reap
  [ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS after $what"
}

# quit_with SIGNAL LIMIT_MS [WHAT]: the signal; the program must end within
# LIMIT_MS. With WHAT, says how long it took.
quit_with() {
  local t0
  t0=$(date +%s%N)
  kill -"$1" "$GAME_PID"
  ends_within "$2" "SIG$1" "$t0"
  [ -z "${3:-}" ] || say "$3: SIG$1 ended it in $QUIT_MS ms"
}
