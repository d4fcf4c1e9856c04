#!/usr/bin/env bash
# Which voice says the letter names most clearly? Each candidate says the 26
# names, finished as the build finishes them, and an offline recogniser
# (pocketsphinx, told that it hears one of the 26 names) writes down what it
# heard with pink noise mixed in: six noise levels, two stretches of noise
# each, so twelve hearings a letter. Not part of the build.
#
#   tools/compare_voices.sh [WORK_DIR] [CANDIDATE...]
#
# A candidate is "ENGINE VOICE [OPTIONS]" as in voice.txt (see speak.sh),
# given either the bare capital letters ("letter") or the words and options
# of letters.txt ("word"); or "recordings DIR" for recordings DIR/A.ogg...
# (e.g. /usr/share/klettres/en/alpha from Debian's klettres-data, spoken by
# people, as a reference). MODES chooses the texts ("letter word"), SNRS the
# noise levels; PHRASES=1 also tries each voice on the game's sentences;
# LETTERS names another letters.txt to try, ONLY="E Z" tries some letters only.
# Prints one row a candidate and then a table of each letter's hearings.
#
# Needs: apt-get install pocketsphinx pocketsphinx-en-us, and a built
# tools/loudness (LOUDNESS names it if not in build/tools).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sounds=$here/../assets/sounds
source "$here/sound_lib.sh"

work=${1:-/tmp/yumble-voices}
shift || true
candidates=("$@")
if [ ${#candidates[@]} -eq 0 ]; then
  candidates=("$(grep -v '^#' "$sounds/voice.txt" | head -n 1)")
  [ -d /usr/share/klettres/en/alpha ] && candidates+=("recordings /usr/share/klettres/en/alpha")
fi
model=/usr/share/pocketsphinx/model/en-us
command -v pocketsphinx_batch >/dev/null && [ -d "$model" ] || {
  echo "compare_voices.sh: install pocketsphinx and pocketsphinx-en-us first" >&2
  exit 1
}
# Noise levels tried: speech RMS over pink noise RMS, in dB; two noises each.
read -r -a snrs <<<"${SNRS:-30 25 20 15 10 5}"
seeds=(1 2)
read -r -a modes <<<"${MODES:-word}"

mkdir -p "$work"
letters=()
declare -A spelled
while read -r letter words; do
  [[ -z $letter || $letter == \#* ]] && continue
  letters+=("$letter")
  spelled[$letter]=$words
done <"${LETTERS:-$sounds/letters.txt}"
read -r -a tried <<<"${ONLY:-${letters[*]}}"

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
  nice -n 10 pocketsphinx_batch -adcin yes -adchdr 44 -cepdir "$dir" -cepext .wav \
    -ctl "$dir/files.ctl" -hmm "$model/en-us" -jsgf "$work/letters.gram" \
    -dict "$work/letters.dic" -hyp "$dir/hyp.txt" -logfn "$dir/asr.log"
  # "B (B -1234)", or "(B -1234)" when nothing was heard.
  sed -E 's/^([A-Z ]*)\(([^ ]+) .*$/\2 \1/; s/ +$//' "$dir/hyp.txt" >"$dir/heard.txt"
}

# say LETTER VOICE MODE OUT: the letter's name as the build would make it.
say() {
  local l=$1 voice=$2 mode=$3 text="" word options=""
  if [[ $voice == recordings* ]]; then
    "${SOX[@]}" "${voice#recordings }/$l.ogg" "$4.raw.wav"
  else
    if [ "$mode" = letter ]; then text=$l; else
      for word in ${spelled[$l]}; do
        if [[ $word == *=* ]]; then options+=" $word"; else text+="${text:+ }$word"; fi
      done
    fi
    "$here/speak.sh" "$voice$options" "$text" "$4.raw.wav"
  fi
  finish "$4.raw.wav" "$4" "$SPEECH_LUFS"
  rm -f "$4.raw.wav"
}

# trial NAME VOICE MODE: 26 names at each noise level; prints one row.
trial() {
  local name=$1 voice=$2 mode=$3 dir=$work/$1
  rm -rf "$dir"
  mkdir -p "$dir/game"
  local l snr seed rms i
  for l in "${tried[@]}"; do
    say "$l" "$voice" "$mode" "$dir/game/$l.wav"
    "${SOX[@]}" "$dir/game/$l.wav" -r 16000 "$dir/clean.wav" pad 0.3 0.3
    rms=$(level "$dir/game/$l.wav" "RMS lev dB")
    i=0
    for seed in "${seeds[@]}"; do
      for snr in "${snrs[@]}"; do
        # Pink noise snr dB below the speech's RMS (a room is never silent), a
        # different stretch of it for each letter, level and seed.
        mkdir -p "$dir/n$seed-$snr"
        i=$((i + 1))
        "${SOX[@]}" "$work/noise.wav" "$dir/noise.wav" \
          trim "$(awk -v l="$l" -v i=$i 'BEGIN { print (index("ABCDEFGHIJKLMNOPQRSTUVWXYZ", l) * 13 + i) * 0.15 }')" \
          "$(soxi -D "$dir/clean.wav")" norm "$(awk -v r="$rms" -v s="$snr" 'BEGIN { print r - s }')"
        "${SOX[@]}" -m "$dir/clean.wav" "$dir/noise.wav" "$dir/n$seed-$snr/$l.wav"
      done
    done
  done
  rm -f "$dir/noise.wav" "$dir/clean.wav"
  local scores="" total=0 right misheard=""
  for seed in "${seeds[@]}"; do
    for snr in "${snrs[@]}"; do
      recognise "$dir/n$seed-$snr"
      cat "$dir/n$seed-$snr/heard.txt" >>"$dir/all.txt"
    done
  done
  for snr in "${snrs[@]}"; do
    right=$(cat "$dir"/n*-"$snr"/heard.txt | awk '$1 == $2' | wc -l)
    scores+=$(printf '%5s ' "$right")
    total=$((total + right))
  done
  misheard=$(awk '$1 != $2 { print $1 ">" ($2 == "" ? "?" : $2) }' "$dir/all.txt" | sort | uniq -c |
    awk '{ printf "%s%s ", $2, ($1 > 1 ? "x" $1 : "") }')
  printf '%-44s %-6s %s%6s  %s\n' "$voice" "$mode" "$scores" "$total" "$misheard"
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
    finish "$dir/$base.raw" "$dir/$base.game.wav" "$SPEECH_LUFS"
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
  nice -n 10 pocketsphinx_batch -adcin yes -adchdr 44 -cepdir "$dir" -cepext .wav -ctl "$dir/files.ctl" \
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
  printf '%-44s %4d/%-4d %s\n' "$voice" "$right" "$words" "$heard"
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

rm -f "$work"/row*.txt "$work"/phrases*.txt
n=0 rows=()
for v in "${candidates[@]}"; do
  for mode in "${modes[@]}"; do
    [[ $v == recordings* && $mode != "${modes[0]}" ]] && continue
    n=$((n + 1))
    rows+=("$(printf '%02d' $n)")
    run trial "$(printf '%02d' $n)" "$v" "$mode" >"$work/row$(printf '%02d' $n).txt"
  done
  if [ "${PHRASES:-0}" = 1 ] && [[ $v != recordings* ]]; then
    run phrases "$(printf 'p%02d' $n)" "$v" >"$work/phrases$(printf '%02d' $n).txt"
  fi
done
for pid in "${pids[@]}"; do wait "$pid"; done

header=$(printf '%5s ' "${snrs[@]/#/snr}")
printf '%-3s %-44s %-6s %s%6s  %s\n' "" candidate text "$header" total "misheard (said>heard, xN: N times)"
for r in "${rows[@]}"; do printf '%-3s %s\n' "$r" "$(cat "$work/row$r.txt")"; done
echo "snrN: hearings right out of $((2 * ${#tried[@]})) with pink noise N dB below the speech (two noises);"
echo "total: out of $((2 * ${#tried[@]} * ${#snrs[@]}))"
echo
printf 'letter'
printf '%4s' "${rows[@]}"
echo "   (hearings right out of $((2 * ${#snrs[@]})), by candidate number)"
for l in "${tried[@]}"; do
  printf '%-6s' "$l"
  for r in "${rows[@]}"; do printf '%4d' "$(awk -v l="$l" '$1 == l && $2 == l' "$work/$r/all.txt" | wc -l)"; done
  echo
done
if [ "${PHRASES:-0}" = 1 ]; then
  echo
  printf '%-44s %s\n' voice "words of the game's sentences heard right at all noise levels; heard at snr${snrs[0]}"
  cat "$work"/phrases*.txt
fi
