#!/usr/bin/env bash
# A whole game in a real window. On a bare X server: typing the alphabet over
# and over eats whatever letter is shown; the purple score line counts up;
# after the 10th, 20th and 30th letters the reward window opens centred and on
# top, flashes and closes by itself; the game is painted again where it was,
# and goes on; after an error box mid-game it takes the keys again; SIGTERM
# during the fourth reward ends it. (Under a window manager, a close request
# during the reward: test_child_lock.sh.)
# Usage: test_game.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin game "$@"
command -v tesseract >/dev/null || fail "tesseract is missing (tools/install-deps.sh installs it)"

# score_reads N: a screenshot SCORE_SHOT whose score line reads N letters.
score_reads() {
  local want="You have yumbled $1 letters!" text
  SCORE_SHOT=$(shot "score-$1")
  # shellcheck disable=SC2086
  set -- $SCORE
  convert "$SCORE_SHOT" -crop "${3}x${4}+${1}+${2}" +repage "$E2E_WORK/score.png"
  # This font's 1 is a plain upright stroke, which OCR takes for | or l.
  text=$(timeout 60 tesseract "$E2E_WORK/score.png" - --psm 7 2>/dev/null | tr -s ' ' |
    sed -e 's/ *$//' -e ':a' -e 's/\(yumbled [0-9]*\)[|Il!]/\11/' -e 'ta')
  [ "$text" = "$want" ] || fail "the score line reads \"$text\", not \"$want\""
}

# --- On a bare X server: an error box, then three rewards. The game plays
# from a copy of its files, one of which goes missing for a while.
game_copy
start_x 1280 800
# The score line's box.
SCORE="$(px 8) $(px 376) $(px 584) $(px 62)"
start_game "$GAME_DIR"
wid=$(wait_window)
wait_arranged
sleep 5 # the second part of the directions
timeout 5 xdotool windowfocus --sync "$wid" 2>/dev/null || true

# Wrong keys do nothing: no score line appears.
timeout 20 xdotool type --delay 20 "0123456789 .,;!?-" || fail "xdotool type failed"
sleep 1
shot wrong-keys >/dev/null
# shellcheck disable=SC2086
[ "$(count_pixels "$SHOTS/wrong-keys.png" $SCORE "$PURPLE")" -eq 0 ] ||
  fail "a wrong key showed the score line"

rewards=0 letters_seen=0
for round in $(seq 150); do
  feed_one
  game_running || fail "the program ended while playing"
  if [ $letters_seen -eq 0 ]; then
    # shellcheck disable=SC2086
    expect_pixels 10 500 $SCORE "$PURPLE" "no purple score line after the first letter"
    score_reads 1
    letters_seen=1
    say "first letter eaten: the score line is purple and reads right"
    # A frame gone while the frog eats: once its error box is dismissed, the
    # game has the keys again, though no window manager hands them back.
    mv "$GAME_DIR/f5.bmp" "$E2E_WORK/"
    feed_one
    mb=$(wait_titled "ERROR:  53" 10) || fail "no error box for a frame gone while eating"
    keyboard_free && fail "another program could take the keyboard under the error box"
    mv "$E2E_WORK/f5.bmp" "$GAME_DIR/"
    press_return_in "$mb"
    wait_reward_gone 5 "ERROR:  53"
    eats_a_letter "after an error box on a bare X server"
    say "after an error box the game takes the keys again"
  fi
  rw=$(wait_titled Form1 1) || continue

  rewards=$((rewards + 1))
  reward_centred "$rw"
  # Shots as fast as they come while it flashes (its colours stop changing
  # when the applause starts, 3.5 s in), until two differ.
  colours=()
  for n in 1 2 3 4 5 6; do
    png=$(shot "reward$rewards-$n")
    [ "$n" -gt 1 ] || on_top "$png" "reward $rewards"
    # The colour of the reward window's flashing frame, as "r,g,b".
    colours+=("$(convert "$png" -crop "4x400+$((x + 2))+$((y + 40))" +repage -scale 1x1\! \
      -format '%[fx:round(255*r)],%[fx:round(255*g)],%[fx:round(255*b)]' info:)")
    [ "$(printf '%s\n' "${colours[@]}" | sort -u | wc -l)" -ge 2 ] && break
  done
  for c in "${colours[@]}"; do [ "$c" != "0,0,0" ] || fail "the reward flashed black"; done
  [ "$(printf '%s\n' "${colours[@]}" | sort -u | wc -l)" -ge 2 ] ||
    fail "the reward's frame did not change colour: ${colours[*]}"
  say "reward $rewards: centred, on top, flashing ${colours[*]}"

  wait_reward_gone 15
  # The game is painted again and its next letter is up: a letter typed after
  # a reward is eaten, as the next reward and the score show.
  wait_letter "after reward $rewards"
  score_reads $((rewards * 10))
  repainted "$SCORE_SHOT" "reward $rewards"
  say "reward $rewards closed; the game is painted again and the score reads $((rewards * 10))"
  [ $rewards -eq 3 ] && break
done
[ $rewards -eq 3 ] || fail "only $rewards rewards in $round rounds"

# The game goes on to a fourth reward; SIGTERM while it is up ends the game
# at once, cleanly (the goal is half a second; more is allowed for a busy machine).
play_until_reward "$wid" >/dev/null
say "after three rewards the game goes on to a fourth"
quit_with TERM 1000 "reward window"
say PASS
