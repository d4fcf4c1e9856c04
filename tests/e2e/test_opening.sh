#!/usr/bin/env bash
# The opening in a real window: the frog talks, the screen is arranged (stop
# sign top right, notice line at the bottom, the eating frog in place of the
# talking one), the first letter "A" appears; a click on the stop sign ends
# the program with status 0.
# Usage: test_opening.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin opening "$@"
command -v tesseract >/dev/null || fail "tesseract is missing (tools/install-deps.sh installs it)"

RED='r > 0.6 && g < 0.3 && b < 0.3'
DARK='r < 0.3 && g < 0.3 && b < 0.3'
W=1024 H=768
# The eating frog's box once in view: 1000 twips from the left, 1290 down.
FROG_X=67 FROG_Y=86
# The big letter's box inside it.
LETTER_X=$((FROG_X + 34)) LETTER_Y=$((FROG_Y + 63))

start_x $W $H
start_game
wid=$(wait_window)

# While the frog talks: no stop sign, no letter, the talking frog on the left.
count=$(wait_pixels 10 2000 4 70 60 332 "$GREENISH")
[ "$count" -ge 2000 ] || fail "no talking frog ($count green-ish pixels at its left)"
shot talking >/dev/null
[ "$(count_pixels "$SHOTS/talking.png" $((W - 32)) 0 32 32 "$RED")" -eq 0 ] ||
  fail "the stop sign shows before the screen is arranged"

# The arrangement, about 4.4 s in.
count=$(wait_pixels 20 300 $((W - 32)) 0 32 32 "$RED")
[ "$count" -ge 300 ] || fail "no stop sign in the top-right corner ($count red pixels)"
# The letter comes once the first part of the directions has been spoken.
count=$(wait_pixels 20 1500 $LETTER_X $LETTER_Y 109 140 "$DARK")
[ "$count" -ge 1500 ] || fail "no letter in front of the frog ($count dark pixels)"
shot arranged >/dev/null

[ "$(count_pixels "$SHOTS/arranged.png" 4 70 60 332 "$GREENISH")" -eq 0 ] ||
  fail "the talking frog is still in sight"
count=$(count_pixels "$SHOTS/arranged.png" $((FROG_X + 150)) $FROG_Y 250 256 "$GREENISH")
[ "$count" -ge 5000 ] || fail "no eating frog beside the letter ($count green-ish pixels)"
count=$(count_pixels "$SHOTS/arranged.png" 0 $((H - 18)) 376 18 "$DARK")
[ "$count" -ge 50 ] || fail "no notice line at the bottom ($count dark pixels)"

convert "$SHOTS/arranged.png" -crop "109x140+$LETTER_X+$LETTER_Y" +repage \
  -bordercolor white -border 30 "$E2E_WORK/letter.png"
letter=$(timeout 60 tesseract "$E2E_WORK/letter.png" - --psm 10 2>/dev/null | tr -dc 'A-Za-z')
[ "$letter" = A ] || fail "the first letter reads \"$letter\", not \"A\""
say "arranged: stop sign, eating frog, notice line, and the letter A"

# The stop sign ends the game.
timeout 5 xdotool mousemove --sync $((W - 16)) 16 click 1 || fail "xdotool click failed"
wait_exit 15
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS after a click on the stop sign"
say "stop sign: ended with status 0"
say PASS
