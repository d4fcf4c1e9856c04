#!/usr/bin/env bash
# Without a display the program says so in one line and exits 1 at once.
# (Started through a link from another folder: the package run.)
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

say PASS
