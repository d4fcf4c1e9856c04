#!/usr/bin/env bash
# A child mashing keys stays in the game: under openbox the window manager's
# shortcuts (show desktop, switch desktop, send to a desktop, window menu and
# close, next window, lower) reach the game instead, which stays on screen, on
# the same desktop, and still eats letters. Started while openbox shows the
# desktop, the game shows once the desktop is switched back, and SIGTERM ends
# it promptly whether it ever showed or not. The same holds while the reward is
# up, under openbox and under xfwm4 with its panel.
# When the desktop's own tools hide the game and show it again, it takes the
# keyboard back without a click; so it does when a second start calls on it.
# The first game plays on through two rewards: the first runs its time
# whatever the shortcuts, a close request closes the second only (centred and
# on top, the game painted again where it was); another ends the game.
# Usage: test_child_lock.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin child_lock "$@"

viewable() { timeout 5 xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

start_x 1024 768 openbox
start_game
wid=$(wait_window)
wait_arranged
desktop=$(timeout 5 xdotool get_desktop)

# shortcuts_leave_game WID PAUSE KEYS...: each leaves the game on screen, on its desktop.
shortcuts_leave_game() {
  local wid=$1 pause=$2 keys
  shift 2
  for keys in "$@"; do
    # shellcheck disable=SC2086
    timeout 5 xdotool key --delay 100 $keys || fail "xdotool key $keys failed"
    sleep "$pause"
    game_running || { wait_exit 1; fail "the program ended (status $GAME_STATUS) after $keys"; }
    viewable "$wid" || fail "$WM: the game is off the screen after $keys"
    [ "$(timeout 5 xdotool get_desktop)" = "$desktop" ] || fail "$WM: $keys switched the desktop"
    [ "$(timeout 5 xdotool get_desktop_for_window "$wid" 2>/dev/null)" = "$desktop" ] ||
      fail "$WM: $keys sent the game to another desktop"
  done
}

# show_desktop WID: the desktop's tools hide every window, the game's too.
show_desktop() {
  timeout 5 wmctrl -k on || fail "wmctrl -k on failed"
  for _ in $(seq 40); do viewable "$1" || return 0; sleep 0.1; done
  fail "show desktop (from the desktop's tools) left the game on screen"
}

shortcuts_leave_game "$wid" 0.5 super+d ctrl+alt+Right ctrl+alt+Down shift+alt+Right super+F2 \
  alt+Escape alt+Tab "alt+space c" alt+F4 super+shift+Left
shot after-shortcuts >/dev/null
say "the shortcuts left the game on screen, on desktop $desktop"

# Still taking keys: the alphabet eats whichever letter is up.
feed_one
expect_pixels 10 500 "$(px 8)" "$(px 376)" "$(px 584)" "$(px 62)" "$PURPLE" \
  "a letter typed after the shortcuts was not eaten"
shot still-playing >/dev/null
say "still eating letters"

# The desktop's tools hide it and show it again: it plays on with no click.
show_desktop "$wid"
timeout 5 wmctrl -k off || fail "wmctrl -k off failed"
for _ in $(seq 50); do viewable "$wid" && ! keyboard_free && break; sleep 0.1; done
viewable "$wid" || fail "the game did not come back when the desktop was switched back"
eats_a_letter "shown again by the desktop"
say "hidden and shown again by the desktop, it took the keyboard back"

# Hidden again, a second start brings it back with the keyboard, and ends.
show_desktop "$wid"
timeout 10 "$BIN_DIR/yumble" || fail "a second start ended with status $?"
for _ in $(seq 20); do viewable "$wid" && ! keyboard_free && break; sleep 0.25; done
viewable "$wid" || fail "a second start did not bring the game back"
[ "$(timeout 5 xdotool getwindowfocus)" = "$wid" ] || fail "brought back, the game has no focus"
keyboard_free && fail "brought back, the game did not take the keyboard"
say "a second start brought the game back with the keyboard, and ended"

# The same during the reward, which stays its whole time (6.7 s: 3.5 s, then
# applause and praise), and no other program can take the keyboard meanwhile:
# on in the same game under openbox, then under xfwm4 with its panel.
for wm in openbox xfwm4; do
  if [ "$wm" = xfwm4 ]; then
    start_x 1024 768 $wm
    start_game
    wid=$(wait_window)
    desktop=$(timeout 5 xdotool get_desktop)
  fi
  play_until_reward "$wid" >/dev/null
  shown=$(date +%s%N)
  keyboard_free && fail "$wm: another program could take the keyboard during the reward"
  shortcuts_leave_game "$wid" 0.2 super+d ctrl+alt+Right alt+space alt+F4 ctrl+alt+d ctrl+alt+t \
    alt+F3
  [ -n "$(window_titled Form1)" ] || fail "$wm: the shortcuts ended the reward early"
  shot "$wm-reward-shortcuts" >/dev/null
  wait_reward_gone 15
  [ $((($(date +%s%N) - shown) / 1000000)) -ge 5500 ] || fail "$wm: the reward was cut short"
  viewable "$wid" || fail "$wm: the game is off the screen after the reward"
  say "$wm: the shortcuts reached the game during the reward, which ran its time"
  [ "$wm" = openbox ] || continue
  # The next reward, centred and on top: a close request reaches the game
  # window, which has the focus, and closes the reward only, long before it
  # would close by itself; the game is painted again and plays on.
  rw=$(play_until_reward "$wid")
  reward_centred "$rw"
  on_top "$(shot openbox-reward)" openbox
  close_request "$wid"
  wait_reward_gone 2
  game_running || fail "openbox: a close request during the reward ended the game"
  sleep 0.5
  repainted "$(shot openbox-after)" openbox
  eats_a_letter "openbox: after the reward"
  say "openbox: a close request closed the reward only; the game plays on"
  closes_cleanly "$wid" openbox
  say "a close request from the desktop still ends it"
done

# Started while the desktop is shown: it shows once the desktop is switched
# back; then, never shown: SIGTERM ends it either way.
start_x 1024 768 openbox
for shown in yes no; do
  timeout 5 wmctrl -k on || fail "wmctrl -k on failed"
  start_game
  sleep 2
  game_running || fail "the program ended under \"show desktop\""
  if [ $shown = yes ]; then
    timeout 5 wmctrl -k off || fail "wmctrl -k off failed"
    wid=$(wait_window)
    say "shown once the desktop was switched back"
  else
    [ -z "$(timeout 5 xdotool search --onlyvisible --name '^Yumble$' 2>/dev/null)" ] ||
      say "(the window showed even so)"
  fi
  quit_with TERM 2000 "desktop shown, window shown: $shown"
done
say PASS
