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
start_x $W $H
# The eating frog's box once in view: 1000 twips from the left, 1290 down,
# in the designs' pixels made larger for this screen.
FROG_X=$(px 67) FROG_Y=$(px 86)
# The big letter's box inside it.
LETTER_X=$(px $((67 + 34))) LETTER_Y=$(px $((86 + 63))) LETTER_W=$(px 109) LETTER_H=$(px 140)
STOP=$(px 32)

start_game
wid=$(wait_window)

# While the frog talks: no stop sign, no letter, the talking frog on the left.
count=$(wait_pixels 10 2000 "$(px 4)" "$(px 70)" "$(px 60)" "$(px 332)" "$GREENISH")
[ "$count" -ge 2000 ] || fail "no talking frog ($count green-ish pixels at its left)"
shot talking >/dev/null
[ "$(count_pixels "$SHOTS/talking.png" $((W - STOP)) 0 "$STOP" "$STOP" "$RED")" -eq 0 ] ||
  fail "the stop sign shows before the screen is arranged"

# The arrangement, about 4.4 s in.
count=$(wait_pixels 20 300 $((W - STOP)) 0 "$STOP" "$STOP" "$RED")
[ "$count" -ge 300 ] || fail "no stop sign in the top-right corner ($count red pixels)"
# The letter comes once the first part of the directions has been spoken.
count=$(wait_pixels 20 1500 "$LETTER_X" "$LETTER_Y" "$LETTER_W" "$LETTER_H" "$DARK")
[ "$count" -ge 1500 ] || fail "no letter in front of the frog ($count dark pixels)"
shot arranged >/dev/null

[ "$(count_pixels "$SHOTS/arranged.png" "$(px 4)" "$(px 70)" "$(px 60)" "$(px 332)" "$GREENISH")" -eq 0 ] ||
  fail "the talking frog is still in sight"
count=$(count_pixels "$SHOTS/arranged.png" $((FROG_X + $(px 150))) "$FROG_Y" "$(px 250)" "$(px 256)" "$GREENISH")
[ "$count" -ge 5000 ] || fail "no eating frog beside the letter ($count green-ish pixels)"
count=$(count_pixels "$SHOTS/arranged.png" 0 $((H - $(px 18))) "$(px 376)" "$(px 18)" "$DARK")
[ "$count" -ge 50 ] || fail "no notice line at the bottom ($count dark pixels)"

convert "$SHOTS/arranged.png" -crop "${LETTER_W}x$LETTER_H+$LETTER_X+$LETTER_Y" +repage \
  -bordercolor white -border 30 "$E2E_WORK/letter.png"
letter=$(timeout 60 tesseract "$E2E_WORK/letter.png" - --psm 10 2>/dev/null | tr -dc 'A-Za-z')
[ "$letter" = A ] || fail "the first letter reads \"$letter\", not \"A\""
say "arranged: stop sign, eating frog, notice line, and the letter A"

# The stop sign ends the game.
timeout 5 xdotool mousemove --sync $((W - STOP / 2)) $((STOP / 2)) click 1 || fail "xdotool click failed"
wait_exit 15
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS after a click on the stop sign"
say "stop sign: ended with status 0"
say PASS
