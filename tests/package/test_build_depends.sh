#!/usr/bin/env bash
# The one list of packages (tools/packages.txt) and the package's Build-Depends
# agree both ways; the voice engine named in the sound recipes is built with;
# and tools/install-deps.sh, with neither root nor sudo, names what is missing
# and fails without trying apt-get.
# Usage: test_build_depends.sh SOURCE_DIR
set -euo pipefail
src=${1:?usage: $0 SOURCE_DIR}
fail() { echo "[build_depends] FAIL: $*" >&2; exit 1; }

# Package names, one a line, without versions, profiles or architecture qualifiers.
build_depends=$(awk '/^Build-Depends:/ { on = 1; sub(/^Build-Depends:/, ""); print; next }
                     on && /^[ \t]/ { print; next } { on = 0 }' "$src/debian/control" |
  tr ',' '\n' | sed -e 's/[[(<].*//' -e 's/:.*//' -e 's/[[:space:]]//g' | grep -v '^$' |
  sed 's/^debhelper-compat$/debhelper/' | sort -u)
tagged() { awk -v want="$1" '!/^#/ { for (i = 2; i <= NF; i++) if ($i == want) print $1 }' \
  "$src/tools/packages.txt" | sort -u; }
listed=$(tagged deb)
[ "$(wc -l <<<"$build_depends")" -ge 5 ] || fail "could not read Build-Depends: $build_depends"
[ "$(wc -l <<<"$listed")" -ge 5 ] || fail "could not read tools/packages.txt"
[ "$build_depends" = "$listed" ] || fail "Build-Depends and the packages marked deb in" \
  "tools/packages.txt differ: $(diff <(echo "$build_depends") <(echo "$listed") | grep '^[<>]' | tr '\n' ' ')"

engine=$(grep -v '^#' "$src/assets/sounds/voice.txt" | head -n 1 | awk '{ print $1 }')
grep -qx "$engine" <<<"$build_depends" && grep -qx "$engine" <(tagged run) ||
  fail "the voice engine $engine (assets/sounds/voice.txt) is not marked run and deb"
echo "[build_depends] $(wc -l <<<"$build_depends") Build-Depends, as tools/packages.txt says; voice $engine"

# No made-up web addresses: a field the project has no address for is left out.
placeholders=$(grep -rlEi --exclude-dir=.git --exclude-dir='build*' --exclude-dir='obj-*' \
  '\bexample\.(com|org|net)\b|yumble\.org' "$src" || true)
[ -z "$placeholders" ] || fail "placeholder web addresses in: $placeholders"

# No root, no sudo: the missing package is named and apt-get is not tried.
work=$(mktemp -d "${TMPDIR:-/tmp}/yumble-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
for tool in bash awk dpkg-query grep id dirname; do ln -s "$(command -v "$tool")" "$work/bin/"; done
printf 'cmake run\nyumble-no-such-package run deb\n' >"$work/packages.txt"
chmod -R a+rX "$work"
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
status=0
"${as_user[@]}" env -i PATH="$work/bin" bash "$src/tools/install-deps.sh" run "$work/packages.txt" \
  >"$work/out" 2>&1 || status=$?
[ "$status" = 1 ] && grep -q 'missing: yumble-no-such-package$' "$work/out" &&
  ! grep -qi 'apt-get: \|Installing' "$work/out" ||
  fail "without root or sudo, status $status: $(cat "$work/out")"
echo "[build_depends] PASS"
