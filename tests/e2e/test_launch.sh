#!/usr/bin/env bash
# Without a display the program says so in one line and exits 1 at once; and
# started through a link from another folder it still finds its own files.
# Usage: test_launch.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin launch "$@"

no_display() {
  local status=0
  timeout 20 env "$@" "$BIN_DIR/yumble" >"$E2E_WORK/out" 2>"$E2E_WORK/err" || status=$?
  [ "$status" = 1 ] || fail "with $*: exit status $status, not 1"
  [ ! -s "$E2E_WORK/out" ] && [ "$(wc -l <"$E2E_WORK/err")" = 1 ] ||
    fail "with $*: expected one line on stderr, got: $(cat "$E2E_WORK/out" "$E2E_WORK/err")"
  say "with $*: $(cat "$E2E_WORK/err")"
}
no_display -u DISPLAY -u WAYLAND_DISPLAY
# A display that nobody serves.
no_display -u WAYLAND_DISPLAY DISPLAY=:250

mkdir "$E2E_WORK/elsewhere"
ln -s "$BIN_DIR/yumble" "$E2E_WORK/elsewhere/yumble"
start_x 1024 768
start_game "$E2E_WORK/elsewhere"
wid=$(wait_window)
count=$(wait_pixels 10 2000 4 70 252 332 "$GREENISH")
[ "$count" -ge 2000 ] || fail "through a link: no talking frog ($count green-ish pixels)"
sleep 1
[ -z "$(window_titled "ERROR:  53")" ] || fail "through a link: a picture was not found"
say "through a link: the frog talks, no file is missing"
close_request "$wid"
wait_exit 15
[ "$GAME_STATUS" = 0 ] || fail "exit status $GAME_STATUS"
say PASS
