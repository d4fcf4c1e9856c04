#!/usr/bin/env bash
# SIGTERM, SIGINT and SIGHUP end the game cleanly (status 0) at once, whatever
# it is doing: the talking opening, the spoken directions (a waited sound), an
# error box, the reward window. The goal is half a second; the test allows
# more, for a busy machine, and prints what it measured.
# Usage: test_signals.sh BIN_DIR
source "$(dirname "$0")/lib.sh"
e2e_begin signals "$@"
LIMIT_MS=1000

start_x 1024 768

start_game
wait_window >/dev/null
sleep 1
quit_with TERM $LIMIT_MS
say "opening (talking): SIGTERM ended it in $QUIT_MS ms"

start_game
wait_window >/dev/null
# The arrangement comes about 4.4 s in, then 4.4 s of directions.
sleep 6.5
quit_with INT $LIMIT_MS
say "spoken directions: SIGINT ended it in $QUIT_MS ms"

GAME_DIR="$E2E_WORK/game"
mkdir "$GAME_DIR"
cp -a "$BIN_DIR"/*.bmp "$BIN_DIR"/*.wav "$BIN_DIR/yumble" "$GAME_DIR/"
rm "$GAME_DIR/f3.bmp"
start_game "$GAME_DIR"
wait_titled "ERROR:  53" 20 >/dev/null || fail "no error box"
quit_with HUP $LIMIT_MS
say "error box: SIGHUP ended it in $QUIT_MS ms"

start_game
wid=$(wait_window)
play_until_reward "$wid" >/dev/null
quit_with TERM $LIMIT_MS
say "reward window: SIGTERM ended it in $QUIT_MS ms"

say PASS
