#!/usr/bin/env bash
# The package unpacked into an empty folder plays: started through a link in
# another folder, the program in usr/games finds its files in
# usr/share/games/yumble and the frog is painted. A second start while it runs exits 0 at once, opens no window and
# leaves the game alone; once the game has ended a new one starts again, and
# nothing was written into the installed tree.
# Usage: test_run.sh DEB_DIR
set -euo pipefail
deb_dir=$(cd "${1:?usage: $0 DEB_DIR}" && pwd)
debs=("$deb_dir"/yumble_*.deb "$deb_dir"/yumble-data_*.deb)
root=$deb_dir/unpacked
rm -rf "$root"
mkdir "$root"
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$root" || { echo "[package-run] FAIL: cannot unpack $deb" >&2; exit 1; }
done

# The package has no test tools; the build beside it has.
CLOSE_REQUEST_TOOL=$deb_dir/../tools/close_request
source "$(dirname "$0")/../e2e/lib.sh"
e2e_begin package-run "$root/usr/games"
# Screenshots go beside the package, not into the unpacked tree.
rm -rf "$root/usr/e2e-shots"
SHOTS=$deb_dir/e2e-shots
rm -rf "$SHOTS"
mkdir -p "$SHOTS"
tree_before=$(cd "$root" && find . -printf '%p %s %T@\n' | sort)

# talking_frog WHAT: fails unless the frog is painted (the talking frog's box).
talking_frog() {
  expect_pixels 10 2000 4 70 252 332 "$GREENISH" "$1: no frog painted"
  [ -z "$(window_titled "ERROR:  53")" ] || fail "$1: a picture was not found"
}

mkdir "$E2E_WORK/elsewhere"
ln -s "$root/usr/games/yumble" "$E2E_WORK/elsewhere/yumble"
start_x 1024 768
start_game "$E2E_WORK/elsewhere"
wid=$(wait_window)
talking_frog "installed"
shot installed >/dev/null
say "installed, started through a link: the window appears and the frog is painted"

status=0
timeout 10 "$root/usr/games/yumble" >"$E2E_WORK/second.log" 2>&1 || status=$?
[ "$status" = 0 ] || fail "a second start ended with status $status: $(cat "$E2E_WORK/second.log")"
windows=$(xdotool search --name '^Yumble$' 2>/dev/null | wc -l)
[ "$windows" = 1 ] || fail "$windows windows named Yumble after a second start"
game_running || fail "the first game ended when a second was started"
talking_frog "after a second start"
say "a second start exits 0, the first game goes on"

closes_cleanly "$wid" "the first game"

start_game
wid=$(wait_window)
say "once the game has ended, a new one starts"
closes_cleanly "$wid" "the new game"

[ "$(cd "$root" && find . -printf '%p %s %T@\n' | sort)" = "$tree_before" ] ||
  fail "the game changed the installed files"
say PASS
