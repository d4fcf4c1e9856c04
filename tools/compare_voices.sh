#!/usr/bin/env bash
# Which voice says the letter names most clearly? Each candidate says the 26
# names, finished as the build finishes them, and an offline recogniser
# (pocketsphinx, told that it hears one of the 26 names) writes down what it
# heard, in quiet and with pink noise mixed in. Not part of the build.
#
#   tools/compare_voices.sh [WORK_DIR] [VOICE...]
#
# Needs: apt-get install pocketsphinx pocketsphinx-en-us (and, for the
# festival diphone voices, festvox-kallpc16k festvox-kdlpc16k).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sounds=$here/../assets/sounds
source "$here/sound_lib.sh"

work=${1:-/tmp/yumble-voices}
shift || true
voices=("$@")
if [ ${#voices[@]} -eq 0 ]; then
  voices=(
    # The English voices of Debian's packages, as they come...
    "festival cmu_us_slt_arctic_hts"
    "festival kal_diphone"
    "festival ked_diphone"
    "flite slt"
    "flite kal16"
    "flite awb"
    "flite rms"
    "espeak-ng en-us"
    "espeak-ng en-us+f3"
    "espeak-ng en-gb"
    # ...and a little slower, or a little higher.
    "festival cmu_us_slt_arctic_hts stretch=1.15"
    "festival kal_diphone stretch=1.3"
    "flite slt stretch=1.15"
    "flite rms stretch=1.15"
    "flite rms pitch=200"
    "flite rms stretch=1.15 pitch=200"
    "flite rms stretch=1.15 pitch=400"
  )
fi
model=/usr/share/pocketsphinx/model/en-us
command -v pocketsphinx_batch >/dev/null && [ -d "$model" ] || {
  echo "compare_voices.sh: install pocketsphinx and pocketsphinx-en-us first" >&2
  exit 1
}
# Noise levels tried: speech RMS over pink noise RMS, in dB.
read -r -a snrs <<<"${SNRS:-30 25 20 15 10 5}"
# What the voice is given: the bare capital letter, or the words in letters.txt.
read -r -a modes <<<"${MODES:-letter word}"
confusable="B D E G P T V Z"

mkdir -p "$work"
letters=()
declare -A spelled
while read -r letter words; do
  [[ -z $letter || $letter == \#* ]] && continue
  letters+=("$letter")
  spelled[$letter]=$words
done <"$sounds/letters.txt"

# The recogniser hears exactly one of the 26 names, each with its dictionary sound.
{
  echo "#JSGF V1.0;"
  echo "grammar letters;"
  echo "public <letter> = $(printf '%s | ' "${letters[@]}" | sed 's/ | $//');"
} >"$work/letters.gram"
for l in "${letters[@]}"; do
  grep -m1 -i "^$l " "$model/cmudict-en-us.dict" | sed "s/^[a-z]/$l/"
done >"$work/letters.dic"
# "a" is first the article in the dictionary: the letter is its second sound.
sed -i 's/^A AH$/A EY/' "$work/letters.dic"

"${SOX[@]}" -n -r 16000 -c 1 -b 16 "$work/noise.wav" synth 60 pinknoise

# recognise DIR: writes DIR/heard.txt, "FILE LETTER" a line, for DIR/*.wav.
recognise() {
  local dir=$1
  (cd "$dir" && ls -- *.wav | sed 's/\.wav$//') >"$dir/files.ctl"
  pocketsphinx_batch -adcin yes -adchdr 44 -cepdir "$dir" -cepext .wav \
    -ctl "$dir/files.ctl" -hmm "$model/en-us" -jsgf "$work/letters.gram" \
    -dict "$work/letters.dic" -hyp "$dir/hyp.txt" -logfn "$dir/asr.log"
  # "B (B -1234)", or "(B -1234)" when nothing was heard.
  sed -E 's/^([A-Z ]*)\(([^ ]+) .*$/\2 \1/; s/ +$//' "$dir/hyp.txt" >"$dir/heard.txt"
}

# clipped FILE: how many samples sit at full scale.
clipped() {
  sox "$1" -n stats 2>&1 |
    awk '/^Pk lev dB/ { full = ($NF > -0.01) } /^Pk count/ { print full ? $NF : 0; exit }'
}

# trial NAME VOICE MODE: 26 names at each noise level; prints one row.
trial() {
  local name=$1 voice=$2 mode=$3 dir=$work/$1
  rm -rf "$dir"
  mkdir -p "$dir/raw" "$dir/game"
  local l text clip=0 snr rms
  for l in "${letters[@]}"; do
    if [ "$mode" = letter ]; then text=$l; else text=${spelled[$l]}; fi
    "$here/speak.sh" "$voice" "$text" "$dir/raw/$l.wav"
    clip=$((clip + $(clipped "$dir/raw/$l.wav")))
    finish "$dir/raw/$l.wav" "$dir/game/$l.wav"
    "${SOX[@]}" "$dir/game/$l.wav" -r 16000 "$dir/clean.wav" pad 0.3 0.3
    rms=$(level "$dir/game/$l.wav" "RMS lev dB")
    local i=0
    for snr in "${snrs[@]}"; do
      # Pink noise snr dB below the speech's RMS (a room is never silent), a
      # different stretch of it for each letter and level.
      mkdir -p "$dir/snr$snr"
      i=$((i + 1))
      "${SOX[@]}" "$work/noise.wav" "$dir/noise.wav" \
        trim "$(awk -v l="${l}" -v i=$i 'BEGIN { print (index("ABCDEFGHIJKLMNOPQRSTUVWXYZ", l) * 8 + i) * 0.25 }')" \
        "$(soxi -D "$dir/clean.wav")" norm "$(awk -v r="$rms" -v s="$snr" 'BEGIN { print r - s }')"
      "${SOX[@]}" -m "$dir/clean.wav" "$dir/noise.wav" "$dir/snr$snr/$l.wav"
    done
  done
  rm -f "$dir/noise.wav" "$dir/clean.wav"

  local scores="" total=0 right hard=0 misheard=""
  for snr in "${snrs[@]}"; do
    recognise "$dir/snr$snr"
    right=$(awk '$1 == $2' "$dir/snr$snr/heard.txt" | wc -l)
    scores+=$(printf '%5s ' "$right")
    total=$((total + right))
    hard=$((hard + $(awk -v c=" $confusable " 'index(c, " " $1 " ") && $1 == $2' \
      "$dir/snr$snr/heard.txt" | wc -l)))
    misheard+=$(awk '$1 != $2 { printf "%s>%s ", $1, ($2 == "" ? "?" : $2) }' \
      "$dir/snr$snr/heard.txt")
  done
  misheard=$(tr ' ' '\n' <<<"$misheard" | grep . | sort | uniq -c |
    awk '{ printf "%s%s ", $2, ($1 > 1 ? "x" $1 : "") }')

  local durations rmss
  durations=$(for l in "${letters[@]}"; do soxi -D "$dir/game/$l.wav"; done |
    awk '{ s += $1; if (min == "" || $1 < min) min = $1; if ($1 > max) max = $1 }
         END { printf "%.2f %.2f-%.2f", s / NR, min, max }')
  rmss=$(for l in "${letters[@]}"; do level "$dir/game/$l.wav" "RMS lev dB"; done |
    awk '{ if (min == "" || $1 < min) min = $1; if (max == "" || $1 > max) max = $1 }
         END { printf "%.1f..%.1f", min, max }')
  printf '%-40s %-6s %s%6s %6s %5s %-6s %-10s %-12s %s\n' "$voice" "$mode" "$scores" \
    "$total" "$hard/$((8 * ${#snrs[@]}))" "$clip" "${durations%% *}" "${durations#* }" \
    "$rmss" "$misheard"
}

# phrases NAME VOICE: the spoken sentences of the game (every NAME.txt but the
# letters and the voice) through the recogniser with its whole English
# vocabulary, at each noise level; prints the words heard right (by edit
# distance) and what was heard at the first level.
phrases() {
  local name=$1 voice=$2 dir=$work/$1 f base snr i=0
  rm -rf "$dir"
  mkdir -p "$dir"
  for f in "$sounds"/*.txt; do
    base=$(basename "$f" .txt)
    [ "$base" = letters ] || [ "$base" = voice ] && continue
    grep -v '^#' "$f" >"$dir/$base.said"
    "$here/speak.sh" "$voice" "$(cat "$dir/$base.said")" "$dir/$base.raw"
    finish "$dir/$base.raw" "$dir/$base.game.wav"
    "${SOX[@]}" "$dir/$base.game.wav" -r 16000 "$dir/$base.clean.wav" pad 0.3 0.3
    for snr in "${snrs[@]}"; do
      i=$((i + 1))
      "${SOX[@]}" "$work/noise.wav" "$dir/noise.wav" trim "$i" "$(soxi -D "$dir/$base.clean.wav")" \
        norm "$(awk -v r="$(level "$dir/$base.game.wav" "RMS lev dB")" -v s="$snr" 'BEGIN { print r - s }')"
      "${SOX[@]}" -m "$dir/$base.clean.wav" "$dir/noise.wav" "$dir/$base-$snr.wav"
    done
    rm -f "$dir/$base.raw" "$dir/$base.clean.wav" "$dir/noise.wav" "$dir/$base.game.wav"
  done
  (cd "$dir" && ls -- *.wav | sed 's/\.wav$//') >"$dir/files.ctl"
  pocketsphinx_batch -adcin yes -adchdr 44 -cepdir "$dir" -cepext .wav -ctl "$dir/files.ctl" \
    -hmm "$model/en-us" -lm "$model/en-us.lm.bin" -dict "$model/cmudict-en-us.dict" \
    -hyp "$dir/hyp.txt" -logfn "$dir/asr.log"
  local right=0 words=0 heard="" file said got counts
  while read -r file; do
    said=$(tr 'A-Z' 'a-z' <"$dir/${file%-*}.said" | tr -c 'a-z\n' ' ')
    got=$(grep " ($file " "$dir/hyp.txt" | sed 's/ (.*//' || true)
    # The sentence's words less the recogniser's misses, swaps and additions.
    counts=$(awk -v a="$said" -v b="$got" 'BEGIN {
      n = split(a, x, " "); m = split(b, y, " ")
      for (i = 0; i <= n; i++) d[i, 0] = i
      for (j = 0; j <= m; j++) d[0, j] = j
      for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) {
        c = d[i - 1, j - 1] + (x[i] != y[j])
        if (d[i - 1, j] + 1 < c) c = d[i - 1, j] + 1
        if (d[i, j - 1] + 1 < c) c = d[i, j - 1] + 1
        d[i, j] = c
      }
      print (n > d[n, m] ? n - d[n, m] : 0), n }')
    right=$((right + ${counts% *}))
    words=$((words + ${counts#* }))
    [ "${file#*-}" = "${snrs[0]}" ] && heard+="\"$got\" "
  done <"$dir/files.ctl"
  printf '%-40s %4d/%-4d %s\n' "$voice" "$right" "$words" "$heard"
}

# Each trial in the background, two at a time (the machine has two cores).
pids=()
run() {
  "$@" &
  pids+=($!)
  if [ ${#pids[@]} -eq 2 ]; then
    wait "${pids[0]}"
    wait "${pids[1]}"
    pids=()
  fi
}

n=0
for v in "${voices[@]}"; do
  for mode in "${modes[@]}"; do
    n=$((n + 1))
    run trial "$(printf '%02d' $n)" "$v" "$mode" >"$work/row$(printf '%02d' $n).txt"
  done
  run phrases "$(printf 'p%02d' $n)" "$v" >"$work/phrases$(printf '%02d' $n).txt"
done
for pid in "${pids[@]}"; do wait "$pid"; done

header=$(printf '%5s ' "${snrs[@]/#/snr}")
printf '%-40s %-6s %s%6s %6s %5s %-6s %-10s %-12s %s\n' voice text "$header" total \
  BDEGPTVZ clip mean_s min-max_s RMS_dB "misheard (said>heard, xN: at N noise levels)"
cat "$work"/row*.txt
echo "snrN: names heard right out of 26 with pink noise N dB below the speech; total: their sum;"
echo "BDEGPTVZ: the easily confused names heard right; clip: samples the synthesiser clipped"
echo
printf '%-40s %s\n' voice "words of the game's sentences heard right at all noise levels; heard at snr${snrs[0]}"
cat "$work"/phrases*.txt
