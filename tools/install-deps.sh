#!/usr/bin/env bash
# Installs the Debian packages that are missing for one use of the tree:
#   install-deps.sh run    building the game and playing it
#   install-deps.sh test   that, and everything the tests use
# The packages are listed in tools/packages.txt (another list can be given as a
# second argument). apt-get runs as root, or through sudo; where neither is
# possible the missing packages are named and nothing is installed.
set -euo pipefail

need=${1:-}
list=${2:-$(dirname "$0")/packages.txt}
case $need in
  # The game alone takes no recommended extras; the tests keep them, as their
  # tools (X servers, window managers) were tried with them.
  run) wanted='run' extras=(--no-install-recommends) ;;
  test) wanted='run|test' extras=() ;;
  *) echo "usage: $0 run|test [LIST]" >&2; exit 2 ;;
esac

missing=()
for p in $(awk -v want="^($wanted)$" '!/^#/ && NF > 1 {
             for (i = 2; i <= NF; i++) if ($i ~ want) { print $1; break } }' "$list"); do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: these packages are missing: ${missing[*]}" >&2
    echo "install-deps: not root and no sudo; as root, run: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)
{ "${apt[@]}" update -qq && "${apt[@]}" install -y -qq "${extras[@]}" "${missing[@]}"; } ||
  { echo "install-deps: could not install: ${missing[*]}" >&2; exit 1; }
