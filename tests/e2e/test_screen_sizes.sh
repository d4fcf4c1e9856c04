#!/usr/bin/env bash
# At 800x600, 1920x1080 and 3840x2160 the arranged screen is the 800x600 one
# enlarged s = min(W/800, H/600) times: the frog, the letter, the stop sign
# and the notice line are s times their 800x600 size, the frog and letter s
# times as far from the top-left corner, the stop sign from the top-right one,
# the notice line from the bottom. The stop sign still ends the game.
# At 1920x1080 the opening too: while the frog talks there is no stop sign;
# arranged, the talking frog is gone, the eating frog, the notice line and the
# first letter "A" are there.
# Usage: test_screen_sizes.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin screen_sizes "$@"
command -v tesseract >/dev/null || fail "tesseract is missing (tools/install-deps.sh installs it)"

# Edges drawn at a higher resolution are sharper, so the pictures are measured
# by all they cover (INKED), their soft edges included.

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
  TALKING="$(px 4) $(px 70) $(px 60) $(px 332)"
  if [ "$size" = 1920x1080 ]; then
    # While the frog talks (seen on the left of a screenshot), that screenshot
    # shows no stop sign.
    for _ in $(seq 20); do
      # shellcheck disable=SC2086
      count=$(count_pixels "$(shot talking)" $TALKING "$GREENISH")
      [ "$count" -ge 2000 ] && break
      sleep 0.5
    done
    [ "$count" -ge 2000 ] || fail "no talking frog ($count green-ish pixels at its left)"
    [ "$(count_pixels "$SHOTS/talking.png" $((SCREEN_W - $(px 48))) 0 "$(px 48)" "$(px 48)" "$RED")" = 0 ] ||
      fail "the stop sign shows before the screen is arranged"
  fi
  # Arranged (the talking frog gone), then the letter after the first directions.
  expect_pixels 20 300 $((SCREEN_W - $(px 48))) 0 "$(px 48)" "$(px 48)" "$RED" "$size: no stop sign"
  expect_pixels 20 1500 "$(px 95)" "$(px 140)" "$(px 125)" "$(px 160)" "$DARK" "$size: no letter"
  measure "$(shot "$size")"
  if [ "$size" = 1920x1080 ]; then
    png=$SHOTS/$size.png
    # shellcheck disable=SC2086
    [ "$(count_pixels "$png" $TALKING "$GREENISH")" = 0 ] || fail "the talking frog is still in sight"
    count=$(count_pixels "$png" "$(px 217)" "$(px 86)" "$(px 250)" "$(px 256)" "$GREENISH")
    [ "$count" -ge 5000 ] || fail "no eating frog beside the letter ($count green-ish pixels)"
    read -r x y w h <<<"$LETTER"
    convert "$png" -crop "${w}x$h+$x+$y" +repage -bordercolor white -border 30 "$E2E_WORK/letter.png"
    letter=$(timeout 60 tesseract "$E2E_WORK/letter.png" - --psm 10 2>/dev/null | tr -dc 'A-Za-z')
    [ "$letter" = A ] || fail "the first letter reads \"$letter\", not \"A\""
    say "$size: the talking frog gave way to the eating frog, the notice line and the letter A"
  fi
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
