#!/usr/bin/env bash
# After ten letters the reward window shows centred above the full-screen game
# window, with and without a window manager; when it goes, the game window is
# painted again where it was and still takes keys.
# Usage: test_reward.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin reward "$@"

check_reward() {
  local mode=$1 wid rw x y w h geo n count
  wid=$(wait_window)
  # The opening ends with the first letter on screen.
  # Arranged first (the stop sign; the talking frog's black pupils gone).
  count=$(wait_pixels 30 100 $((SCREEN_W - $(px 32))) 0 "$(px 32)" "$(px 32)" \
    'r > 0.6 && g < 0.3 && b < 0.3')
  [ "$count" -ge 100 ] || fail "$mode: no stop sign after the opening"
  count=$(wait_pixels 30 500 "$(px 60)" "$(px 80)" "$(px 420)" "$(px 270)" 'r == 0 && g == 0 && b == 0')
  [ "$count" -ge 500 ] || fail "$mode: no letter after the opening"
  rw=$(play_until_reward "$wid")

  # Centred, give or take the rounding of half a pixel.
  reward_centred "$rw"
  sleep 0.5
  shot "$mode-reward" >/dev/null
  # On top: the screen shows the reward's sunken border (dark grey, then black)
  # just inside its edge, not the game beneath.
  # The edge is two lines, each half its width (3 pixels at this scale: 1 and 2).
  local edge outer
  edge=$(px 2) outer=$(($(px 2) / 2))
  count=$(count_pixels "$SHOTS/$mode-reward.png" $((x + $(px 8))) $((y + $(px 9))) "$(px 404)" 1 \
    'abs(r - 0.502) < 0.01 && abs(g - 0.502) < 0.01 && abs(b - 0.502) < 0.01')
  [ "$count" -ge "$(px 380)" ] || fail "$mode: the reward window is not on top ($count border pixels)"
  count=$(count_pixels "$SHOTS/$mode-reward.png" $((x + $(px 8) + outer)) \
    $((y + $(px 9) + outer)) $(($(px 404) - 2 * edge)) 1 'r == 0 && g == 0 && b == 0')
  [ "$count" -ge "$(px 380)" ] || fail "$mode: the reward window is not on top ($count border pixels)"
  say "$mode: reward window centred and on top"

  if [ "$WM" = openbox ]; then
    # A close request from the desktop while the reward is up reaches the
    # game window, which has the focus: it closes the reward only, long before
    # the reward would close by itself.
    close_request "$wid"
    wait_reward_gone 2
    game_running || fail "$mode: a close request during the reward ended the game"
    say "$mode: a close request closed the reward only"
  fi
  wait_reward_gone 20
  sleep 0.5
  shot "$mode-after" >/dev/null
  # Where the reward was, the game window is painted again: mostly white.
  count=$(count_pixels "$SHOTS/$mode-after.png" "$x" "$y" "$REWARD_W" "$REWARD_H" \
    'r == 1 && g == 1 && b == 1')
  [ "$count" -ge $((REWARD_W * REWARD_H / 2)) ] ||
    fail "$mode: the game window was not repainted where the reward was ($count white pixels)"

  # Keys still reach the game: the next letter is eaten, so the score
  # changes (its line is repainted).
  timeout 20 import -window root -crop "${SCREEN_W}x$(px 70)+0+$(px 350)" "$E2E_WORK/score-before.png"
  feed_one
  sleep 1.5
  timeout 20 import -window root -crop "${SCREEN_W}x$(px 70)+0+$(px 350)" "$E2E_WORK/score-after.png"
  local same=0
  timeout 20 compare -metric AE "$E2E_WORK/score-before.png" "$E2E_WORK/score-after.png" \
    null: 2>/dev/null || same=$?
  [ "$same" = 1 ] || fail "$mode: after the reward, a typed letter was not eaten"
  say "$mode: game repainted and playing after the reward"

  close_request "$wid"
  wait_exit 15
  [ "$GAME_STATUS" = 0 ] || fail "$mode: exit status $GAME_STATUS"
}

start_x 1280 800
start_game
check_reward bare

start_x 1024 768 openbox
start_game
check_reward openbox

say PASS
