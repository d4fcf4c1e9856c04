#!/usr/bin/env bash
# With f3.bmp missing, start-up reports "File not found" from Form_Load in an
# error box titled "ERROR:  53"; once it is dismissed the game window shows
# anyway, and a close request still ends the program with status 0. Once on a
# bare X server, once under a window manager.
# Usage: test_missing_picture.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin missing_picture "$@"
command -v tesseract >/dev/null || fail "tesseract is missing (tools/install-deps.sh installs it)"

game_copy f3.bmp

# Lower case, no blanks: OCR of the box's small font may drop or add spaces.
squeeze() { tr 'A-Z' 'a-z' | tr -d ' \t'; }

# The box's text as lines, read by OCR from its screenshot. Its font is small
# and light on dark, so the picture is prepared a few ways; any reading that
# finds the expected lines will do.
box_says_file_not_found() {
  local png=$1 prep n=0 text
  for prep in "-filter lanczos -resize 500% -threshold 55%" "-resize 400%" "-scale 400%" \
    "-scale 300% -blur 0x1 -threshold 60%"; do
    n=$((n + 1))
    # shellcheck disable=SC2086
    timeout 30 convert "$png" -colorspace gray -negate $prep "$E2E_WORK/ocr$n.png"
    text=$(timeout 60 tesseract "$E2E_WORK/ocr$n.png" - --psm 6 2>/dev/null | squeeze |
      grep -v '^$' || true)
    echo "$text" >"$E2E_WORK/ocr$n.txt"
    # "Form_Load:" on one line, "File not found" on the next.
    # (The icon's cross may be read as a letter before the label.)
    if echo "$text" | grep -A1 -E 'form_?load:$' | grep -x 'filenotfound' >/dev/null; then
      say "OCR read: $(echo "$text" | tr '\n' '|')"
      return 0
    fi
  done
  say "OCR readings: $(cat "$E2E_WORK"/ocr*.txt | tr '\n' '|')"
  return 1
}

check_missing_picture() {
  local mode=$1 mb wid

  mb=$(wait_titled "ERROR:  53" 20) || fail "$mode: no message box titled \"ERROR:  53\""
  # Form_Load failed before it showed the window: only the box is up.
  if timeout 5 xdotool search --onlyvisible --name '^Yumble$' >/dev/null 2>&1; then
    fail "$mode: the game window showed before the error was dismissed"
  fi
  sleep 0.5 # let it paint
  shot "$mode-box" "$mb" >/dev/null
  shot "$mode-screen-with-box" >/dev/null
  box_says_file_not_found "$SHOTS/$mode-box.png" ||
    fail "$mode: the box does not read \"Form_Load:\" / \"File not found\""
  # The critical-stop icon: a red disc with a white cross, left of the text.
  local red
  red=$(count_pixels "$SHOTS/$mode-box.png" 0 0 60 80 'r > 0.6 && g < 0.2 && b < 0.2')
  [ "$red" -ge 300 ] || fail "$mode: no red stop icon in the box ($red red pixels)"
  # Centred on the screen, since the game window is not up yet.
  read -r bx by bw bh <<<"$(geometry "$mb")"
  [ $((bx + bw / 2 - SCREEN_W / 2)) -le 1 ] && [ $((by + bh / 2 - SCREEN_H / 2)) -le 1 ] ||
    fail "$mode: the box at $bx,$by ${bw}x$bh is not centred"

  press_return_in "$mb"
  wait_reward_gone 10 "ERROR:  53"

  wid=$(wait_window)
  [ "$(geometry "$wid")" = "0 0 $SCREEN_W $SCREEN_H" ] ||
    fail "$mode: window at $(geometry "$wid") after the error"
  expect_pixels 15 200 0 0 "$SCREEN_W" 80 "$PURE_GREEN" \
    "$mode: the window was not painted after the error"
  shot "$mode-after" >/dev/null
  game_running || fail "$mode: the program ended after the error"
  say "$mode: error box read and dismissed, window shown"

  closes_cleanly "$wid" "$mode"
  say "$mode: closed with status 0"
}

start_x 1280 800
start_game "$GAME_DIR"
check_missing_picture bare

start_x 1024 768 openbox
start_game "$GAME_DIR"
check_missing_picture openbox

say PASS
