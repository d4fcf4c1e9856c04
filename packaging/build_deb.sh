#!/usr/bin/env bash
# Builds the Debian package with Debian's own tools:
#   build_deb.sh OUT_DIR [JOBS]
# The sources are copied to OUT_DIR/src first, since dpkg-buildpackage builds
# inside the source tree and leaves its files there; the .deb (and its debug
# symbols) end up in OUT_DIR.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 OUT_DIR [JOBS]" >&2
  exit 2
fi
src=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
jobs=${2:-2}

for tool in dpkg-buildpackage dh; do
  command -v "$tool" >/dev/null ||
    { echo "build_deb: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 1; }
done

# Build folders and the output folder stay out of the copy.
excludes=(--exclude=./.git --exclude='./build' --exclude='./build-*' --exclude='./obj-*')
case $out/ in
  "$src"/*) rel=${out#"$src"/}; excludes+=("--exclude=./${rel%%/*}") ;;
esac

rm -rf "$out/src" "$out/build.log" "$out"/yumble*_*.deb "$out"/yumble*_*.ddeb "$out"/yumble_*.buildinfo \
  "$out"/yumble_*.changes
mkdir "$out/src"
tar -C "$src" "${excludes[@]}" -cf - . | tar -C "$out/src" -xf -

cd "$out/src"
# The log shows, among the rest, the tests the build ran.
dpkg-buildpackage -b -us -uc -j"$jobs" 2>&1 | tee "$out/build.log"
# dpkg-buildpackage writes next to the source folder, which is OUT_DIR.
ls "$out"/yumble_*.deb
