#!/usr/bin/env bash
# At 800x600, 1920x1080 and 3840x2160 the arranged screen is the 800x600 one
# enlarged s = min(W/800, H/600) times: the frog, the letter, the stop sign
# and the notice line are s times their 800x600 size, the frog and letter s
# times as far from the top-left corner, the stop sign from the top-right one,
# the notice line from the bottom. The stop sign still ends the game.
# Usage: test_screen_sizes.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin screen_sizes "$@"

RED='r > 0.6 && g < 0.3 && b < 0.3'
DARK='r < 0.3 && g < 0.3 && b < 0.3'
# Edges drawn at a higher resolution are sharper, so the pictures are measured
# by all they cover, their soft edges included.
INKED='r < 0.94 || g < 0.94 || b < 0.94'

# near GOT WANT: within 2 % and two of the designs' pixels (text is hinted and
# edges antialiased differently at each size).
near() {
  local d=$(($1 - $2))
  [ "${d#-}" -le $((${2#-} / 50 + $(px 2))) ]
}

# The arranged screen's parts, each "x y w h", from a screenshot; areas are
# the designs' places made s times larger, with room to spare.
measure() {
  local png=$1
  # The frog sits right of the letter's box in its picture.
  FROG=$(bbox "$png" "$(px 215)" "$(px 80)" "$(px 260)" "$(px 270)" "$INKED")
  LETTER=$(bbox "$png" "$(px 95)" "$(px 140)" "$(px 125)" "$(px 160)" "$DARK")
  STOP=$(bbox "$png" $((SCREEN_W - $(px 48))) 0 "$(px 48)" "$(px 48)" "$INKED")
  NOTICE=$(bbox "$png" 0 $((SCREEN_H - $(px 24))) "$(px 420)" "$(px 24)" "$DARK")
  say "${SCREEN_W}x$SCREEN_H (s $SCALE): frog $FROG, letter $LETTER, stop $STOP, notice $NOTICE"
  [ -n "$FROG" ] && [ -n "$LETTER" ] && [ -n "$STOP" ] && [ -n "$NOTICE" ] ||
    fail "${SCREEN_W}x$SCREEN_H: a part of the screen is missing"
}

# expect NAME "x y w h" "x y w h" ANCHOR: the part as it is against s times
# its 800x600 self; ANCHOR says which corner it keeps its distance from.
expect() {
  local name=$1 anchor=$4 x y w h x1 y1 w1 h1 want
  read -r x y w h <<<"$2"
  read -r x1 y1 w1 h1 <<<"$3"
  case $anchor in
    top-left) set -- "$x" "$(px "$x1")" "$y" "$(px "$y1")" ;;
    top-right) set -- $((SCREEN_W - x)) "$(px $((800 - x1)))" "$y" "$(px "$y1")" ;;
    bottom-left) set -- "$x" "$(px "$x1")" $((SCREEN_H - y)) "$(px $((600 - y1)))" ;;
  esac
  set -- "$@" "$w" "$(px "$w1")" "$h" "$(px "$h1")"
  while [ $# -gt 0 ]; do
    near "$1" "$2" || fail "${SCREEN_W}x$SCREEN_H: the $name is at $x $y ${w}x$h, not s=$SCALE times its 800x600 self ($x1 $y1 ${w1}x$h1)"
    shift 2
  done
}

for size in 800x600 1920x1080 3840x2160; do
  start_x "${size%x*}" "${size#*x}"
  start_game
  wid=$(wait_window)
  read -r x y w h <<<"$(geometry "$wid")"
  [ "$x $y $w $h" = "0 0 $SCREEN_W $SCREEN_H" ] || fail "$size: the window is at $x $y ${w}x$h"
  # Arranged (the talking frog gone), then the letter after the first directions.
  count=$(wait_pixels 20 300 $((SCREEN_W - $(px 48))) 0 "$(px 48)" "$(px 48)" "$RED")
  [ "$count" -ge 300 ] || fail "$size: no stop sign ($count red pixels)"
  count=$(wait_pixels 20 1500 "$(px 95)" "$(px 140)" "$(px 125)" "$(px 160)" "$DARK")
  [ "$count" -ge 1500 ] || fail "$size: no letter ($count dark pixels)"
  measure "$(shot "$size")"
  if [ "$size" = 800x600 ]; then
    FROG1=$FROG LETTER1=$LETTER STOP1=$STOP NOTICE1=$NOTICE
  else
    expect frog "$FROG" "$FROG1" top-left
    expect letter "$LETTER" "$LETTER1" top-left
    expect "stop sign" "$STOP" "$STOP1" top-right
    expect "notice line" "$NOTICE" "$NOTICE1" bottom-left
  fi
  read -r x y w h <<<"$STOP"
  timeout 5 xdotool mousemove --sync $((x + w / 2)) $((y + h / 2)) click 1 || fail "xdotool click failed"
  wait_exit 15
  [ "$GAME_STATUS" = 0 ] || fail "$size: exit status $GAME_STATUS after a click on the stop sign"
done
say PASS
