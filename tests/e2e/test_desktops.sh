#!/usr/bin/env bash
# The same short play under each desktop that starts here: the opening,
# letters, a burst of the desktop's own shortcuts, a reward with another
# burst, the stop sign. The game fills the screen (the stop sign whole in
# its corner), the reward shows centred, the stop sign ends the game, and
# where the desktop lets the game hold the keyboard no shortcut acts. Each
# desktop runs in an X server of our own, nested where it is a Wayland
# compositor, so xdotool types into it as a keyboard; sway runs headless, with
# wtype, grim, a pointer of its own and two outputs; its run ends with a second
# game that sway's end takes with it. On Wayland the game has no X display to fall back on.
# YUMBLE_DESKTOPS (default "xfwm4 sway", a minute each; "all" adds openbox,
# weston, mutter and kwin) names the desktops to try; the others are listed
# as skipped.
# Usage: test_desktops.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin desktops "$@"

W=1024 H=768 OUT=HEADLESS-2 RAN=() SKIPPED=()
MARKS=$E2E_WORK/marks # what a desktop's shortcuts leave behind
mkdir -p "$MARKS"
# Keys, clicks and screenshots go through our X server unless a desktop says otherwise.
x_input() {
  grab() { timeout 20 import -window root "$1"; }
  press() { timeout 5 xdotool key --delay 60 "$@"; }
  typed() { timeout 20 xdotool type --delay 5 "$1"; }
  # Moved, not jumped, from the corner: a nested compositor may miss a jump.
  click_at() { timeout 5 xdotool mousemove_relative -- -9999 -9999 mousemove_relative "$1" "$2" click 1; }
}

# seen SECONDS MIN X Y W H FX: until a screenshot has MIN such pixels there.
seen() {
  local secs=$1 min=$2
  shift 2
  for _ in $(seq $((secs * 2))); do
    grab "$E2E_WORK/poll.png" && [ "$(count_pixels "$E2E_WORK/poll.png" "$@")" -ge "$min" ] &&
      return 0
    game_running || return 1
    sleep 0.5
  done
  return 1
}
stop_sign_whole() { seen "$1" "$(px 300)" $((SCREEN_W - $(px 32))) 0 "$(px 32)" "$(px 32)" 'r > 0.6 && g < 0.3 && b < 0.3'; }

# The reward's colours change ten times a second and nothing else moves: what
# differs between three screenshots is the reward window, as "x y w h". (The
# pointer a nested compositor draws rests in the top-left corner, where no
# reward reaches.)
reward_box() {
  grab "$E2E_WORK/r1.png" && sleep 0.25 && grab "$E2E_WORK/r2.png" && sleep 0.25 &&
    grab "$E2E_WORK/r3.png" || return 0
  timeout 60 convert "$E2E_WORK/r1.png" "$E2E_WORK/r2.png" -compose difference -composite \
    \( "$E2E_WORK/r2.png" "$E2E_WORK/r3.png" -compose difference -composite \) -compose lighten \
    -composite -threshold 0 -fill black -draw 'rectangle 0,0 40,40' -bordercolor black -border 1 \
    -format '%@' info: 2>/dev/null |
    awk -F '[x+]' 'NF == 4 && $1 > 1 { print $3 - 1, $4 - 1, $1, $2 }'
}

GOLD='r > 0.8 && g > 0.5 && g < 0.95 && b < 0.4'
burst() {
  local keys
  for keys in "$@"; do press $keys || fail "$NAME: cannot press $keys"; done
  sleep 1
  game_running || fail "$NAME: the game ended at the shortcuts"
}

# play SHORTCUTS...: each shortcut is one argument to press.
play() {
  local held=yes x y w h
  SCALE=$(scale_for "$SCREEN_W" "$SCREEN_H") REWARD_W=$(px 420) REWARD_H=$(px 487)
  start_game
  stop_sign_whole 60 || fail "$NAME: no stop sign, whole in the corner, after the opening"
  seen 30 "$(px 500)" "$(px 60)" "$(px 80)" "$(px 420)" "$(px 270)" 'r + g + b == 0' ||
    fail "$NAME: no letter after the opening"
  grab "$SHOTS/$NAME-play.png"
  burst "$@"
  stop_sign_whole 3 || fail "$NAME: the shortcuts took the game off the screen"
  ls "$MARKS"/* >/dev/null 2>&1 && held=no
  [ "$HOLDS" = $held ] || fail "$NAME: keyboard held: $held, expected $HOLDS"
  for n in $(seq 40); do
    typed abcdefghijklmnopqrstuvwxyz || fail "$NAME: cannot type"
    sleep 1.2
    [ "$n" -ge 9 ] && read -r x y w h _ <<<"$(reward_box) 0 0 0 0" && [ "$w" -gt 1 ] && break
  done
  grab "$SHOTS/$NAME-reward.png"
  [ "$w $h" = "$REWARD_W $REWARD_H" ] && [ $((x + w)) -le "$SCREEN_W" ] && [ $((y + h)) -le "$SCREEN_H" ] ||
    fail "$NAME: the reward at $x $y ${w}x$h is not whole on ${SCREEN_W}x$SCREEN_H"
  [ $(((2 * x + w - SCREEN_W) / 3)) = 0 ] && [ $(((2 * y + h - SCREEN_H) / 3)) = 0 ] ||
    fail "$NAME: the reward at $x $y is not centred"
  [ $held = no ] || burst "$@"
  ls "$MARKS"/* >/dev/null 2>&1 && [ $held = yes ] && fail "$NAME: a shortcut acted during the reward"
  # Gone once its star's gold is: it stops flashing while it speaks.
  for _ in $(seq 60); do
    grab "$E2E_WORK/poll.png" &&
      [ "$(count_pixels "$E2E_WORK/poll.png" "$x" "$y" "$w" "$h" "$GOLD")" = 0 ] && break
    sleep 0.5
  done
  [ "$NAME" != sway ] || sway_resize
  stop_sign_whole 10 || fail "$NAME: after the reward, the stop sign is not whole on screen"
  grab "$SHOTS/$NAME-after.png"
  click_at $((SCREEN_W - $(px 16))) "$(px 16)" || fail "$NAME: cannot click"
  wait_exit 15
  [ "$GAME_STATUS" = 0 ] || fail "$NAME: exit status $GAME_STATUS after the stop sign"
  [ "$NAME" != sway ] || sway_ends
  RAN+=("$NAME (keyboard held: $held)")
  say "$NAME: full screen, reward centred, keyboard held: $held, ended by the stop sign"
}

# A private session bus, which some desktops need.
session_bus() {
  dbus-daemon --session --address="unix:path=$E2E_WORK/bus" --nofork --nopidfile >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_WORK/bus"
  for _ in $(seq 50); do [ -S "$E2E_WORK/bus" ] && return 0 || sleep 0.1; done
  return 1
}
# compositor SOCKET COMMAND...: a Wayland compositor nested in our X server.
compositor() {
  start_x "$W" "$H" >/dev/null
  export XDG_RUNTIME_DIR=$E2E_WORK/run WAYLAND_DISPLAY=$1
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  timeout 5 xdotool mousemove $((W / 2)) $((H / 2)) # keys go to the window under the pointer
  shift
  [ "$1" = weston ] || session_bus || return 1
  (cd "$MARKS" && exec env -u WAYLAND_DISPLAY "$@") >"$E2E_WORK/$NAME.log" 2>&1 &
  E2E_PIDS+=($!)
  for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && return 0 || sleep 0.1; done
  return 1
}

start_openbox() { start_x "$W" "$H" openbox >/dev/null; }
# xfwm4 keeps windows off the panel's strut unless they are full screen.
start_xfwm4() {
  start_x "$W" "$H" >/dev/null && session_bus || return 1
  xfwm4 --compositor=off >"$E2E_WORK/$NAME.log" 2>&1 &
  E2E_PIDS+=($!)
  xfce4-panel >/dev/null 2>&1 &
  E2E_PIDS+=($!)
  for _ in $(seq 100); do
    timeout 5 xprop -root _NET_WORKAREA 2>/dev/null | grep -Eq '= [0-9]+, [1-9]' && return 0
    sleep 0.1
  done
  return 1
}
# Not headless: there it has no keyboard (and SDL 2.26 stops at a compositor
# with none). Its screenshot shortcut leaves a picture in its folder.
start_weston() {
  compositor yumble-desktops-weston weston --backend=x11-backend.so --use-pixman --no-config \
    --idle-time=0 --socket=yumble-desktops-weston --width="$W" --height="$H"
}
start_mutter() {
  compositor yumble-desktops-mutter mutter --nested --wayland --no-x11 \
    --wayland-display=yumble-desktops-mutter || return 1
  # Nested, it shows one monitor the size of its window.
  for _ in $(seq 50); do [ -n "$(window_titled mutter)" ] && break || sleep 0.1; done
  read -r _ _ SCREEN_W SCREEN_H <<<"$(geometry "$(window_titled mutter)")"
}
# A copy: the packaged program carries a capability a sandbox may refuse.
start_kwin() {
  cp /usr/bin/kwin_wayland "$E2E_WORK/kwin_wayland"
  compositor yumble-desktops-kwin "$E2E_WORK/kwin_wayland" --width "$W" --height "$H" \
    --socket yumble-desktops-kwin --no-lockscreen
}
# sway refuses root: it runs as nobody, with its own folder and its default
# shortcuts to kill, go full screen and change workspace, and two that leave marks.
start_sway() {
  stop_processes
  local run=$E2E_WORK/sway
  mkdir -p -m 700 "$run/run" && chmod 711 "$E2E_WORK"
  printf '%s\n' "xwayland disable" "output HEADLESS-1 resolution ${W}x$H pos 0 0" "bindsym Mod4+Shift+q kill" \
    "bindsym Mod4+d exec touch $MARKS/d" "bindsym Mod1+Tab exec touch $MARKS/tab" \
    "bindsym Mod4+f fullscreen toggle" "bindsym Mod4+2 workspace 9" >"$run/config"
  chown -R nobody "$run" "$MARKS"
  runuser -u nobody -- env HOME="$run" XDG_RUNTIME_DIR="$run/run" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$run/config" >"$E2E_WORK/$NAME.log" 2>&1 &
  SWAY_PID=$!
  E2E_PIDS+=($!)
  export XDG_RUNTIME_DIR=$run/run
  for _ in $(seq 100); do ls "$XDG_RUNTIME_DIR"/sway-ipc.* >/dev/null 2>&1 && break || sleep 0.1; done
  SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.* 2>/dev/null) &&
    WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-? 2>/dev/null) || return 1
  export SWAYSOCK WAYLAND_DISPLAY
  # A second monitor, in use: the game plays there, not on sway's first.
  timeout 5 swaymsg -q create_output && timeout 5 swaymsg -q "output $OUT resolution ${W}x$H pos $W 0" &&
    timeout 5 swaymsg -q "focus output $OUT" || return 1
  # A keyboard that stays, as a real one does: each wtype brings its own and
  # takes it away again, and the game holds the keys only while it has one.
  wtype -s 3600000 &
  E2E_PIDS+=($!)
  grab() { timeout 20 grim -o "$OUT" "$1"; }
  press() { timeout 5 wtype "$@"; }
  typed() { timeout 20 wtype -d 5 "$1"; }
  # Headless, it has no pointer until one is plugged in; sway moves and
  # clicks it. The game's output lies right of the first.
  "$BIN_DIR/../tools/virtual_pointer" &
  E2E_PIDS+=($!)
  click_at() {
    timeout 5 swaymsg -q seat - cursor set $((W + $1)) "$2" && timeout 5 swaymsg -q seat - cursor press button1 &&
      timeout 5 swaymsg -q seat - cursor release button1
  }
}
# A game whose compositor ends ends too, saying why, as on a lost X display.
sway_ends() {
  start_game
  stop_sign_whole 60 || fail "sway: no stop sign in the second game"
  kill "$SWAY_PID"
  wait_exit 15
  [ "$GAME_STATUS" = 1 ] && grep -q "Wayland display .* broken" "$E2E_WORK/game.log" ||
    fail "sway: its end ended the game with status $GAME_STATUS, saying $(tail -1 "$E2E_WORK/game.log")"
}
# The desktop gives the game a smaller screen: the designs follow.
sway_resize() {
  timeout 5 swaymsg -q "output $OUT resolution 800x600" || fail "sway: no new resolution"
  SCREEN_W=800 SCREEN_H=600 SCALE=1
}

# try NAME PROGRAM HOLDS SHORTCUTS...: plays under the desktop if it starts.
# HOLDS: whether it lets the game hold the keyboard.
try() {
  NAME=$1 HOLDS=$3
  x_input
  case " ${YUMBLE_DESKTOPS:-xfwm4 sway} " in
    *" all "* | *" $NAME "*) ;;
    *) SKIPPED+=("$NAME (not asked for)") && return 0 ;;
  esac
  if ! command -v "$2" >/dev/null; then
    SKIPPED+=("$NAME ($2 is not installed)")
  elif SCREEN_W=$W SCREEN_H=$H && ! "start_$NAME"; then
    SKIPPED+=("$NAME (did not start: $(tail -1 "$E2E_WORK/$NAME.log" 2>/dev/null))")
  else
    shift 3
    [ -z "${WAYLAND_DISPLAY:-}" ] || start_game() {
      env -u DISPLAY "$BIN_DIR/yumble" >"$E2E_WORK/game.log" 2>&1 &
      GAME_PID=$! GAME_STATUS=""
      E2E_PIDS+=("$GAME_PID")
    }
    play "$@"
  fi
  stop_processes
  rm -f "$MARKS"/*
  unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
}

# Show the desktop, switch desktops or windows, the window menu, close, and
# each desktop's own; weston's harmless ones only (Super+K would end the game).
try openbox openbox yes super+d ctrl+alt+Right alt+Tab alt+space Escape alt+F4
try xfwm4 xfwm4 yes ctrl+alt+d ctrl+alt+Right alt+Tab alt+space Escape alt+F4 alt+F3 Escape
try mutter mutter yes super+h alt+Tab super+Page_Down ctrl+alt+Down alt+F4 super+Up
try kwin kwin_wayland yes super+d alt+Tab ctrl+F2 alt+F4 alt+F3 Escape meta+Page_Up
try sway sway yes "-M logo -k d -m logo" "-M alt -k Tab -m alt" "-M logo -k f -m logo" \
  "-M logo -k 2 -m logo" "-M logo -M shift -k q -m shift -m logo"
try weston weston no super+s super+Tab alt+Tab ctrl+alt+Right

say "ran: ${RAN[*]:-none}"
say "skipped: ${SKIPPED[*]:-none}"
say PASS
