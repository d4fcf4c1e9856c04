#!/usr/bin/env bash
# How loud each sound the build made is heard, and the spread:
#   tools/sound_report.sh BIN_DIR [NAME...]
# LUFS: integrated loudness (K-weighted, gated 400 ms blocks); dBTP: the true
# peak, between samples too; both by tools/loudness, the meter the build
# levels with and the asset tests check with. Where ffmpeg is installed its
# ebur128 figures stand beside them (a sound shorter than 0.4 s is looped, as
# ffmpeg gates whole 400 ms blocks only). start/end: the first and last sample;
# onsets/s: sudden rises (the 1 ms envelope 6 dB over its recent mean, above
# -45 dBFS, 15 ms apart) a second, from the first to the last, for the
# sounds other than speech: claps in the applause.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/sound_lib.sh"
bin=$1
shift
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  names=(A B C D E F G H I J K L M N O P Q R S T U V W X Y Z yumdir yumdir2 goodjob
    ribbit ribbit2 slurp2 applp)
fi
printf '%-8s %6s %6s %7s %6s %8s %7s %6s %6s %9s\n' sound rate "len s" LUFS dBTP ffmpegI ffmpegTP start end onsets/s
for n in "${names[@]}"; do
  f=$bin/$n.wav
  read -r lufs peak _ < <("$LOUDNESS" "$f")
  ff="- -"
  if command -v ffmpeg >/dev/null; then
    ff=$(ffmpeg -nostats -hide_banner -stream_loop "$(awk -v d="$(soxi -D "$f")" 'BEGIN { print d < 0.4 ? 9 : 0 }')" \
      -i "$f" -af ebur128=peak=true -f null - 2>&1 | awk '$1 == "I:" { i = $2 } $1 == "Peak:" { p = $2 } END { print i, p }')
  fi
  ends=$(sox "$f" -t dat - | awk '/^;/ { next } !n++ { first = $2 } { last = $2 } END { printf "%d %d", first * 32768, last * 32768 }')
  onsets=-
  [ -f "$here/../assets/sounds/$n.sh" ] && onsets=$(sox "$f" -t dat - | awk -v rate="$(soxi -r "$f")" '
    /^;/ { next }
    { s += $2 * $2; n++ }
    n == int(rate / 1000) {
      e = s / n; s = n = 0; ms++
      if (e > 4 * mean && e > 3e-5 && ms - last >= 15) { count++; last = ms; if (!first) first = ms }
      mean = 0.95 * mean + 0.05 * e
    }
    END { printf "%.1f", (last > first ? count / ((last - first) / 1000) : 0) }')
  printf '%-8s %6d %6.3f %7.2f %6.2f %8s %7s %6s %6s %9s\n' "$n" "$(soxi -r "$f")" "$(soxi -D "$f")" \
    "$lufs" "$peak" $ff $ends "$onsets"
  echo "$lufs" >>"${TMPDIR:-/tmp}/sound_report.$$"
done
awk '{ if (NR == 1 || $1 < lo) lo = $1; if (NR == 1 || $1 > hi) hi = $1 }
     END { printf "spread: %.2f LU (%.2f to %.2f LUFS)\n", hi - lo, lo, hi }' "${TMPDIR:-/tmp}/sound_report.$$"
rm -f "${TMPDIR:-/tmp}/sound_report.$$"
