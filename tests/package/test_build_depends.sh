#!/usr/bin/env bash
# The package's Build-Depends and tools/install-deps.sh agree: every package
# the package build needs is one that install-deps.sh installs, and the voice
# engine named in the sound recipes is among the Build-Depends.
# Usage: test_build_depends.sh SOURCE_DIR
set -euo pipefail
src=${1:?usage: $0 SOURCE_DIR}
fail() { echo "[build_depends] FAIL: $*" >&2; exit 1; }

# Package names, one a line, without versions or architecture qualifiers.
build_depends=$(awk '/^Build-Depends:/ { on = 1; sub(/^Build-Depends:/, ""); print; next }
                     on && /^[ \t]/ { print; next } { on = 0 }' "$src/debian/control" |
  tr ',' '\n' | sed -e 's/[[(].*//' -e 's/:.*//' -e 's/[[:space:]]//g' | grep -v '^$' |
  sed 's/^debhelper-compat$/debhelper/' | sort -u)
installed=$(sed -n '/^packages=(/,/^)/p' "$src/tools/install-deps.sh" | sed 's/#.*//' |
  tr ' ' '\n' | grep -E '^[a-z0-9][a-z0-9.+-]+$' | sort -u)
[ "$(wc -l <<<"$build_depends")" -ge 5 ] || fail "could not read Build-Depends: $build_depends"
[ "$(wc -l <<<"$installed")" -ge 5 ] || fail "could not read the list in install-deps.sh"

missing=$(comm -23 <(echo "$build_depends") <(echo "$installed"))
[ -z "$missing" ] || fail "in Build-Depends but not installed by tools/install-deps.sh: $missing"

engine=$(grep -v '^#' "$src/assets/sounds/voice.txt" | head -n 1 | awk '{ print $1 }')
grep -qx "$engine" <<<"$build_depends" ||
  fail "the voice engine $engine (assets/sounds/voice.txt) is not in Build-Depends"
echo "[build_depends] $(wc -l <<<"$build_depends") Build-Depends, all installed by install-deps.sh; voice $engine"
echo "[build_depends] PASS"
