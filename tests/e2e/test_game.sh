#!/usr/bin/env bash
# A whole game in a real window: typing the alphabet over and over eats
# whatever letter is shown; the purple score line counts up; after the 10th,
# 20th and 30th letters the reward window opens, flashes and closes by itself,
# and the game goes on.
# Usage: test_game.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin game "$@"
command -v tesseract >/dev/null || fail "tesseract is missing (tools/install-deps.sh installs it)"

W=1024 H=768
PURPLE='abs(r - 0.753) < 0.02 && g < 0.02 && abs(b - 0.753) < 0.02'
DARK='r < 0.3 && g < 0.3 && b < 0.3'
start_x $W $H
# The score line's box, and the big letter's once the frog is in view.
SCORE="$(px 8) $(px 376) $(px 584) $(px 62)"
LETTER="$(px 101) $(px 149) $(px 109) $(px 140)"

score_reads() {
  local want="You have yumbled $1 letters!" png text
  png=$(shot "score-$1")
  # shellcheck disable=SC2086
  set -- $SCORE
  convert "$png" -crop "${3}x${4}+${1}+${2}" +repage "$E2E_WORK/score.png"
  # This font's 1 is a plain upright stroke, which OCR takes for | or l.
  text=$(timeout 60 tesseract "$E2E_WORK/score.png" - --psm 7 2>/dev/null | tr -s ' ' |
    sed -e 's/ *$//' -e ':a' -e 's/\(yumbled [0-9]*\)[|Il!]/\11/' -e 'ta')
  [ "$text" = "$want" ] || fail "the score line reads \"$text\", not \"$want\""
}

# The colour of the reward window's flashing frame, as "r,g,b".
frame_colour() {
  convert "$1" -crop "4x400+$(($2 + 2))+$(($3 + 40))" +repage -scale 1x1\! \
    -format '%[fx:round(255*r)],%[fx:round(255*g)],%[fx:round(255*b)]' info:
}

start_game
wid=$(wait_window)
# The screen arranged (the stop sign; the talking frog, which is dark in
# places too, gone), then the letter.
count=$(wait_pixels 30 100 $((W - $(px 32))) 0 "$(px 32)" "$(px 32)" 'r > 0.6 && g < 0.3 && b < 0.3')
[ "$count" -ge 100 ] || fail "no stop sign after the opening"
count=$(wait_pixels 30 1500 $LETTER "$DARK")
[ "$count" -ge 1500 ] || fail "no letter after the opening"
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
  timeout 20 xdotool type --delay 5 abcdefghijklmnopqrstuvwxyz || fail "xdotool type failed"
  game_running || fail "the program ended while playing"
  if [ $letters_seen -eq 0 ]; then
    sleep 1.5
    shot first-turn >/dev/null
    # shellcheck disable=SC2086
    count=$(count_pixels "$SHOTS/first-turn.png" $SCORE "$PURPLE")
    [ "$count" -ge 500 ] || fail "no purple score line after the first letter ($count pixels)"
    score_reads 1
    letters_seen=1
    say "first letter eaten: the score line is purple and reads right"
  fi
  rw=$(wait_titled Form1 2) || continue

  rewards=$((rewards + 1))
  reward_centred "$rw"
  colours=()
  # Quickly: the colours stop changing when the applause starts, 3.5 s in.
  for n in 1 2 3; do
    sleep 0.15
    colours+=("$(frame_colour "$(shot "reward$rewards-$n")" "$x" "$y")")
  done
  for c in "${colours[@]}"; do [ "$c" != "0,0,0" ] || fail "the reward flashed black"; done
  [ "$(printf '%s\n' "${colours[@]}" | sort -u | wc -l)" -ge 2 ] ||
    fail "the reward's frame did not change colour: ${colours[*]}"
  say "reward $rewards: centred, flashing ${colours[*]}"

  wait_reward_gone 15
  # The game is painted again and its next letter is up.
  count=$(wait_pixels 10 1500 $LETTER "$DARK")
  [ "$count" -ge 1500 ] || fail "no new letter after reward $rewards"
  score_reads $((rewards * 10))
  say "reward $rewards closed; the score reads $((rewards * 10))"
  [ $rewards -eq 3 ] && break
done
[ $rewards -eq 3 ] || fail "only $rewards rewards in $round rounds"

# The game goes on.
timeout 5 xdotool windowfocus --sync "$wid" 2>/dev/null || true
for n in $(seq 5); do
  timeout 20 xdotool type --delay 5 abcdefghijklmnopqrstuvwxyz
  sleep 1.5
  score_reads 31 2>/dev/null && break
done
score_reads 31
say "after three rewards the game goes on"

close_request "$wid"
wait_exit 15
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
say PASS
