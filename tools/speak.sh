#!/usr/bin/env bash
# Says TEXT with a voice into OUT.wav (the synthesiser's own rate and format):
#   speak.sh "ENGINE VOICE [stretch=S] [pitch=CENTS]" TEXT OUT.wav
# ENGINE is festival, flite or espeak-ng; stretch > 1 speaks more slowly;
# pitch shifts the finished voice up (or down) by hundredths of a semitone.
set -euo pipefail
read -r engine voice options <<<"$1"
text=$2 out=$3
stretch=1 pitch=0
for opt in $options; do
  case $opt in
    stretch=*) stretch=${opt#*=} ;;
    pitch=*) pitch=${opt#*=} ;;
    *) echo "speak.sh: unknown voice option '$opt'" >&2; exit 2 ;;
  esac
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }

case $engine in
  festival)
    # text2wave reads one expression from each -eval.
    if [[ $voice == *_hts ]]; then
      rate="(set! hts_engine_params (cons (list \"-r\" $(ratio 1 "$stretch")) hts_engine_params))"
    else
      rate="(Parameter.set 'Duration_Stretch $stretch)"
    fi
    printf '%s\n' "$text" | text2wave -eval "(voice_$voice)" -eval "$rate" -o "$out"
    ;;
  flite)
    flite -voice "$voice" --setf duration_stretch="$stretch" -t "$text" -o "$out"
    ;;
  espeak-ng)
    espeak-ng -v "$voice" -s "$(awk -v s="$stretch" 'BEGIN { printf "%d", 175 / s }')" \
      -w "$out" "$text"
    ;;
  *)
    echo "speak.sh: unknown engine '$engine'" >&2
    exit 2
    ;;
esac
[[ -s $out ]] || { echo "speak.sh: $engine wrote nothing for '$text'" >&2; exit 1; }
if [[ $pitch != 0 ]]; then
  sox -R -V1 "$out" "$out.pitch.wav" pitch "$pitch"
  mv "$out.pitch.wav" "$out"
fi
