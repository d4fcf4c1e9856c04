#!/usr/bin/env bash
# The built package: its files, its dependencies, its size, and what lintian,
# desktop-file-validate and appstreamcli make of it.
# Usage: test_contents.sh DEB_DIR BIN_DIR   (BIN_DIR: the source build's run-time files)
set -euo pipefail
deb_dir=${1:?usage: $0 DEB_DIR BIN_DIR} bin_dir=${2:?usage: $0 DEB_DIR BIN_DIR}
say() { echo "[contents] $*"; }
fail() { echo "[contents] FAIL: $*" >&2; exit 1; }

for tool in dpkg-deb lintian desktop-file-validate appstreamcli identify; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh installs it)"
done
debs=("$deb_dir"/yumble_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "expected one yumble_*.deb in $deb_dir"
deb=${debs[0]}
root=$(mktemp -d "${TMPDIR:-/tmp}/yumble-deb.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

# The program with every file it reads beside it, the same files the build makes.
lib=$root/usr/lib/yumble
[ -x "$lib/yumble" ] && [ ! -L "$lib/yumble" ] || fail "no program in /usr/lib/yumble"
[ "$(readlink "$root/usr/games/yumble")" = ../lib/yumble/yumble ] ||
  fail "/usr/games/yumble is not a relative link to ../lib/yumble/yumble"
# Every file in the build's bin/ that is not a program is one the game reads.
runtime_files() { (cd "$1" && find . -type f ! -perm -u+x | sort); }
[ "$(runtime_files "$lib")" = "$(runtime_files "$bin_dir")" ] ||
  fail "run-time files differ from the build's: $(diff <(runtime_files "$lib") <(runtime_files "$bin_dir") | tr '\n' ' ')"
for f in f1.bmp talk2.bmp A.wav Z.wav yumdir.wav; do
  [ -s "$lib/$f" ] || fail "/usr/lib/yumble/$f is missing or empty"
done
programs=$(cd "$lib" && find . ! -type d -perm -u+x)
[ "$programs" = ./yumble ] || fail "programs in /usr/lib/yumble other than the game: $programs"

# Icons: each size where its name says, and the scalable one drawn, not a dangling link.
icons=$root/usr/share/icons/hicolor
for s in 16 24 32 48 64 128 256; do
  png=$icons/${s}x$s/apps/org.yumble.Yumble.png
  [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${s}x$s" ] || fail "no ${s}x$s icon"
done
svg=$icons/scalable/apps/org.yumble.Yumble.svg
grep -q 'frog.svg' "$svg" && fail "the scalable icon still links to frog.svg"
[ "$(identify -format '%w' "$svg" 2>/dev/null)" -gt 0 ] || fail "the scalable icon does not draw"

man=$root/usr/share/man/man6/yumble.6.gz
[ -s "$man" ] || fail "no manual page yumble.6.gz"
zcat "$man" | grep -q '^\.SH FILES' || fail "the manual page has no FILES section"

# Dependencies come from the libraries the program links, not by hand.
depends=$(dpkg-deb -f "$deb" Depends)
for lib_pkg in libc6 libsdl2-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 libx11-6; do
  grep -q "\b$lib_pkg\b" <<<"$depends" || fail "Depends lacks $lib_pkg: $depends"
done

desktop-file-validate "$root/usr/share/applications/org.yumble.Yumble.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.yumble.Yumble.metainfo.xml" ||
  fail "appstreamcli validate"

# Smaller than the smallest peer package, 12.3 MiB with its data.
installed_kib=$(dpkg-deb -f "$deb" Installed-Size)
runtime_kib=$(du -sk --apparent-size "$lib" | cut -f1)
say "Installed-Size ${installed_kib} KiB; /usr/lib/yumble ${runtime_kib} KiB;" \
  "room left below 12.3 MiB: $((12595 - installed_kib)) KiB"
[ "$installed_kib" -lt 12595 ] || fail "installed size ${installed_kib} KiB is not below 12.3 MiB"

# lintian: no errors. Warnings are shown, for a person to judge.
report=$(lintian --no-tag-display-limit "$deb" 2>&1) || true
[ -z "$report" ] || echo "$report"
grep -q '^E: ' <<<"$report" && fail "lintian reports errors"
say PASS
