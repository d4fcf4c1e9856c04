#!/usr/bin/env bash
# Installs the Debian packages the game needs to build, run and be tested,
# but only those that are missing.
set -euo pipefail

packages=(
  # building
  cmake g++ make pkg-config libgtest-dev clang-format git
  libsdl2-dev libsdl2-ttf-dev libfontconfig-dev
  # fuzzing the file decoders (libFuzzer comes with clang's runtime)
  clang libclang-rt-14-dev
  # the fonts the designs ask for, by their free look-alikes
  fonts-urw-base35 fonts-comic-neue fonts-dejavu-core
  # making the pictures and sounds
  librsvg2-bin imagemagick sox libsox-fmt-all espeak-ng flite festival festvox-us-slt-hts
  # end-to-end tests in a real window
  xvfb xdotool x11-utils x11-apps wmctrl openbox procps tesseract-ocr tesseract-ocr-eng
  # the Debian package (debian/control's Build-Depends must be in this list) and its checks
  debhelper dpkg-dev lintian desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  [[ $p == \#* ]] && continue
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
