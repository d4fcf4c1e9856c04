#!/usr/bin/env bash
# The real program with one run-time file damaged in ways that once froze it
# or ate its memory: a named pipe, a link to /dev/zero, random bytes, a header
# that lies. Each run must stay light (under 200 MB) and answer at once: any
# error box goes on Return, and a close request ends the game within a second.
# (Every damage to every kind of file is also tried headless, on the virtual
# clock, by the unit tests.)
# Usage: test_damaged_files.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin damaged_files "$@"
LIMIT_MS=1000
MAX_RSS_KB=$((200 * 1024))

# Overwrites 4 little-endian bytes at OFFSET of FILE with VALUE.
patch32() {
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($3 & 255)) $(($3 >> 8 & 255)) \
    $(($3 >> 16 & 255)) $(($3 >> 24 & 255)))" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

damage() {
  local file=$GAME_DIR/$1 how=$2
  case $how in
    pipe) rm "$file" && mkfifo "$file" ;;
    zero) rm "$file" && ln -s /dev/zero "$file" ;;
    random) head -c "$(stat -c %s "$file")" /dev/urandom >"$file.new" && mv "$file.new" "$file" ;;
    lying)
      case $file in
        *.bmp) patch32 "$file" 18 16384 && patch32 "$file" 22 16384 ;;  # width, height
        *.wav) patch32 "$file" 24 1 && patch32 "$file" 28 2 ;;          # 1 sample a second
      esac
      ;;
  esac
}

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$GAME_PID/status" 2>/dev/null || echo 0; }

try() {
  local name=$1 how=$2 mb rss t0 title="ERROR:  481"
  game_copy
  damage "$name" "$how"
  start_game "$GAME_DIR"
  # A damaged picture is reported in a box while the game starts: as a
  # missing file where it is not a file at all, else as an invalid picture.
  if [[ $name == *.bmp ]]; then
    [[ $how == pipe || $how == zero ]] && title="ERROR:  53"
    mb=$(wait_titled "$title" 20) || fail "$name $how: no error box titled \"$title\""
    press_return_in "$mb"
    wait_reward_gone 1 "$title"
  fi
  wait_window >/dev/null
  # The directions are opened about 4.4 s in and the second part, intact, is
  # spoken to its end (the game takes nothing meanwhile): ask after it, so a
  # damaged first part that held the game would show. Every other file is
  # read before the window shows, or (the talking frog) within its first second.
  if [ "$name" = yumdir.wav ]; then sleep 10; else sleep 1; fi
  rss=$(rss_kb)
  [ "$rss" -le "$MAX_RSS_KB" ] || fail "$name $how: $((rss / 1024)) MB resident"
  # A close request from the window manager.
  t0=$(date +%s%N)
  timeout 5 wmctrl -c Yumble || fail "wmctrl -c failed"
  ends_within "$LIMIT_MS" "a close request" "$t0"
  say "$name $how: $((rss / 1024)) MB, closed in $QUIT_MS ms"
}

start_x 1024 768 openbox
for name in f1.bmp talk2.bmp ribbit.wav yumdir.wav; do
  for how in pipe zero random lying; do
    try "$name" "$how"
  done
done

say PASS
