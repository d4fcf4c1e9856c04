# The frog eats: 0.35 s, as long as the eating. A band of noise that rises and
# falls like a tongue pulling something wet in, fluttering, with three bubbles.
rate=(-r "$SOUND_RATE" -c 1 -b 16)
# Noise below 250 Hz, moved up by ring modulation with a sweeping tone: a noise
# band that follows the tone.
"${SOX[@]}" -n "${rate[@]}" low.wav synth 0.36 whitenoise lowpass 250 lowpass 250 norm -1
# sweep OUT FROM TOP TO: up in 0.22 s, down in 0.16 s, crossfaded.
sweep() {
  "${SOX[@]}" low.wav up.wav trim 0 0.22 synth 0.22 sine amod "$2:$3" fade t 0 0.22 0.02
  "${SOX[@]}" low.wav down.wav trim 0.20 0.16 synth 0.16 sine amod "$3:$4" fade t 0.02 pad 0.20
  "${SOX[@]}" -m -v 1 up.wav -v 1 down.wav "$1"
}
sweep tongue.wav 350 1500 650
sweep lips.wav 800 3200 1500
"${SOX[@]}" -m -v 1 tongue.wav -v 0.4 lips.wav body.wav highpass 200 tremolo 46 70 norm -3
# bubble OUT FROM TO: a 25 ms rising chirp.
bubble() {
  "${SOX[@]}" -n "${rate[@]}" "$1" synth 0.025 sine "$2:$3" fade q 0.003 0.025 0.015
}
bubble b1.wav 650 1500
bubble b2.wav 800 1700
bubble b3.wav 950 1900
"${SOX[@]}" -n "${rate[@]}" s1.wav trim 0 0.04
"${SOX[@]}" -n "${rate[@]}" s2.wav trim 0 0.08
"${SOX[@]}" -n "${rate[@]}" s3.wav trim 0 0.07
"${SOX[@]}" s1.wav b1.wav s2.wav b2.wav s3.wav b3.wav bubbles.wav
"${SOX[@]}" -m body.wav -v 0.35 bubbles.wav "$out" fade q 0.004 0.35 0.1
