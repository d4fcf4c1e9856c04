#!/usr/bin/env bash
# Says TEXT with a voice into OUT.wav (the synthesiser's own rate and format):
#   speak.sh "ENGINE VOICE [stretch=S] [pitch=CENTS]" TEXT OUT.wav
# ENGINE is festival, flite or espeak-ng; stretch > 1 speaks more slowly;
# pitch shifts the finished voice up (or down) by hundredths of a semitone;
# and for one letter's name (letters.txt): skip=MS leaves out the first MS
# milliseconds of the voice (a glide into a vowel, heard as a consonant);
# onset=MS:DB starts DB louder (or softer) and eases back over MS ms (a vowel
# that swells in is not heard as a consonant); voiced=MS:DB hums under the
# first MS ms at the voice's pitch, DB below its peak (a "z" the synthesiser
# left unvoiced, heard as an "s").
set -euo pipefail
read -r engine voice options <<<"$1"
text=$2 out=$3
stretch=1 pitch=0 onset="" voiced="" skip=0
for opt in $options; do
  case $opt in
    stretch=*) stretch=${opt#*=} ;;
    pitch=*) pitch=${opt#*=} ;;
    onset=*) onset=${opt#*=} ;;
    voiced=*) voiced=${opt#*=} ;;
    skip=*) skip=${opt#*=} ;;
    *) echo "speak.sh: unknown voice option '$opt'" >&2; exit 2 ;;
  esac
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }
# start FILE: when the voice starts, in seconds: its first sample above 1%.
start() { sox "$1" -t dat - | awk '!/^;/ && s == "" && ($2 > 0.01 || $2 < -0.01) { s = $1 } END { print s + 0 }'; }

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
if [[ $skip != 0 ]]; then
  sox -R -V1 "$out" "$out.skip.wav" trim "$(awk -v s="$(start "$out")" -v ms="$skip" 'BEGIN { print s + ms / 1000 }')" \
    fade t 0.005
  mv "$out.skip.wav" "$out"
fi
if [[ -n $onset ]]; then
  # From the voice's start, DB louder (or softer), easing back to as it was in
  # a straight line of decibels over MS.
  sox "$out" -t dat - | awk -v ms="${onset%%:*}" -v db="${onset#*:}" -v start="$(start "$out")" '
    /^;/ { print; next }
    {
      t = $1 < start ? 0 : ($1 - start) * 1000
      printf "%s %.9f\n", $1, $2 * 10 ^ ((t < ms ? db * (1 - t / ms) : 0) / 20)
    }' | sox -R -V1 -t dat - -b 16 -e signed-integer "$out.onset.wav" norm -1
  mv "$out.onset.wav" "$out"
fi
if [[ -n $voiced ]]; then
  # A low hum, pulsed like a voice at 105 Hz (the voices' own pitch, before
  # any shift), from the voice's start.
  long=$(awk -v ms="${voiced%%:*}" 'BEGIN { print (ms + 40) / 1000 }')
  sox -R -V1 -n -r "$(soxi -r "$out")" -c 1 -b 16 "$out.hum.wav" synth "$long" sawtooth 105 \
    lowpass 350 lowpass 350 fade h 0.01 "$long" 0.04 norm "${voiced#*:}" pad "$(start "$out")"
  sox -R -V1 "$out" "$out.peak.wav" norm -1
  sox -R -V1 -m "$out.peak.wav" "$out.hum.wav" -b 16 "$out.voiced.wav" norm -1
  mv "$out.voiced.wav" "$out"
  rm -f "$out.hum.wav" "$out.peak.wav"
fi
if [[ $pitch != 0 ]]; then
  sox -R -V1 "$out" "$out.pitch.wav" pitch "$pitch"
  mv "$out.pitch.wav" "$out"
fi
