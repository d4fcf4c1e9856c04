#!/usr/bin/env bash
# Makes every sound of the game from the recipes in SOUND_DIR:
#   make_sounds.sh SOUND_DIR BIN_DIR
# Spoken sounds: voice.txt names the voice, letters.txt the letter names, and
# NAME.txt the words of NAME.wav. Other sounds: NAME.sh, a sox recipe that
# writes "$out". Every file is then trimmed and levelled the same way, by the
# loudness meter named in $LOUDNESS (built as tools/loudness).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/sound_lib.sh"

# make_one SOUND_DIR TMP NAME OUT: one sound (run by xargs, two at a time).
if [ "${1:-}" = --one ]; then
  src=$2 tmp=$3 name=$4 out=$5
  raw=$tmp/$name.raw.wav
  if [ -f "$src/$name.sh" ]; then
    mkdir -p "$tmp/$name"
    (cd "$tmp/$name" && out=$raw source "$src/$name.sh")
    level=$EFFECT_LUFS
  else
    level=$SPEECH_LUFS options=""
    if [[ $name =~ ^[A-Z]$ ]]; then
      # A letter's line may end with options of its own for the voice (pacing).
      text=$(awk -v l="$name" '$1 == l { for (i = 2; i <= NF; i++) if ($i !~ /=/) printf "%s%s", (i > 2 ? " " : ""), $i }' "$src/letters.txt")
      options=$(awk -v l="$name" '$1 == l { for (i = 2; i <= NF; i++) if ($i ~ /=/) printf " %s", $i }' "$src/letters.txt")
    else
      text=$(grep -v '^#' "$src/$name.txt")
    fi
    [ -n "$text" ] || { echo "make_sounds.sh: no words for $name" >&2; exit 1; }
    "$here/speak.sh" "$(grep -v '^#' "$src/voice.txt" | head -n 1)$options" "$text" "$raw"
  fi
  finish "$raw" "$out" "$level"
  exit 0
fi

src=$(cd "$1" && pwd)
mkdir -p "$2"
bin=$(cd "$2" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

names=(yumdir yumdir2 goodjob ribbit ribbit2 slurp2 applp)
names+=(A B C D E F G H I J K L M N O P Q R S T U V W X Y Z)
for n in "${names[@]}"; do
  echo "$n"
done | xargs -P 2 -I {} "$0" --one "$src" "$tmp" {} "$tmp/{}.wav"
for n in "${names[@]}"; do
  mv "$tmp/$n.wav" "$bin/$n.wav"
done
