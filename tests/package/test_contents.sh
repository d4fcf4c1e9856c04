#!/usr/bin/env bash
# The built packages (the program, its pictures and sounds): their files, dependencies,
# size, and what lintian, desktop-file-validate and appstreamcli make of them.
# Usage: test_contents.sh DEB_DIR BIN_DIR   (BIN_DIR: the source build's run-time files)
set -euo pipefail
deb_dir=${1:?usage: $0 DEB_DIR BIN_DIR} bin_dir=${2:?usage: $0 DEB_DIR BIN_DIR}
say() { echo "[contents] $*"; }
fail() { echo "[contents] FAIL: $*" >&2; exit 1; }

for tool in dpkg-deb lintian desktop-file-validate appstreamcli identify; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/install-deps.sh installs it)"
done
debs=("$deb_dir"/yumble_*_*.deb "$deb_dir"/yumble-data_*_all.deb)
[ ${#debs[@]} = 2 ] && [ -f "${debs[0]}" ] && [ -f "${debs[1]}" ] || fail "no yumble and yumble-data .deb"
deb=${debs[0]}
root=$(mktemp -d "${TMPDIR:-/tmp}/yumble-deb.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
[ ! -e "$root/usr/share/games" ] || fail "pictures or sounds in the program's package"
dpkg-deb -x "${debs[1]}" "$root"

# Debian's layout: the program in /usr/games, every file it reads in /usr/share/games/yumble
# (the data package), the same files the build makes beside its program.
data=$root/usr/share/games/yumble
[ -x "$root/usr/games/yumble" ] && [ ! -L "$root/usr/games/yumble" ] || fail "no program in /usr/games"
runtime_files() { (cd "$1" && find . -type f ! -perm -u+x | sort); }
[ "$(runtime_files "$data")" = "$(runtime_files "$bin_dir")" ] ||
  fail "run-time files differ from the build's: $(diff <(runtime_files "$data") <(runtime_files "$bin_dir") | tr '\n' ' ')"
for f in f1.bmp f1@3x.qoi talk2.bmp A.wav Z.wav yumdir.wav; do
  [ -s "$data/$f" ] || fail "/usr/share/games/yumble/$f is missing or empty"
done
programs=$(cd "$root/usr" && find . ! -type d -perm -u+x)
[ "$programs" = ./games/yumble ] || fail "programs other than /usr/games/yumble: $programs"

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
files=$(zcat "$man" | sed -n '/^\.SH FILES/,/^\.SH /p')
for f in /usr/games/yumble '/usr/share/games/yumble/\*.'{bmp,qoi,wav}; do
  grep -q "^\.I $f" <<<"$files" || fail "the manual page's FILES lack $f"
done

# Dependencies come from the libraries the program links, not by hand
# (fontconfig, which it loads, is named in debian/control).
depends=$(dpkg-deb -f "$deb" Depends)
for lib_pkg in libc6 libsdl2-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 libx11-6 yumble-data; do
  grep -q "\b$lib_pkg\b" <<<"$depends" || fail "Depends lacks $lib_pkg: $depends"
done

desktop-file-validate "$root/usr/share/applications/org.yumble.Yumble.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.yumble.Yumble.metainfo.xml" ||
  fail "appstreamcli validate"

# Smaller than the smallest peer package, 12.3 MiB with its data.
installed_kib=$(($(dpkg-deb -f "$deb" Installed-Size) + $(dpkg-deb -f "${debs[1]}" Installed-Size)))
runtime_kib=$(du -sk --apparent-size "$data" | cut -f1)
say "Installed-Size ${installed_kib} KiB; /usr/share/games/yumble ${runtime_kib} KiB;" \
  "room left below 12.3 MiB: $((12595 - installed_kib)) KiB"
[ "$installed_kib" -lt 12595 ] || fail "installed size ${installed_kib} KiB is not below 12.3 MiB"

# A free licence, said the same way in each place.
grep -q '^License: GPL-3+$' "$root/usr/share/doc/yumble/copyright" || fail "copyright: not GPL-3+"
grep -q '<project_license>GPL-3.0-or-later</project_license>' \
  "$root/usr/share/metainfo/org.yumble.Yumble.metainfo.xml" || fail "metainfo: not GPL-3.0-or-later"

# The package build ran the unit and asset tests.
grep -Eq '^ *[0-9]+/[0-9]+ Test +#[0-9]+: (Sounds|Pictures)' "$deb_dir/build.log" &&
  grep -Eq '^100% tests passed, 0 tests failed out of [0-9]{2,}' "$deb_dir/build.log" ||
  fail "the package build did not run and pass the unit and asset tests ($deb_dir/build.log)"
! grep -Eq -- ' -Werror( |$)' "$deb_dir/build.log" || fail "the package build turns warnings into errors"

# lintian, pedantic and with the informational tags: nothing but the overrides
# in debian/, each with its reason.
report=$(lintian --pedantic -I --tag-display-limit 0 "${debs[@]}" 2>&1 |
  grep -vx 'running with root privileges is not recommended!') || true
[ -z "$report" ] || fail "lintian: $report"
say PASS
