# Applause: 24 people clapping, each at a pace of their own with a little
# unevenness, coming in over the first quarter second and stopping one by one.
# Every number comes from bash's random numbers with a fixed seed (drawn in
# this shell only: a subshell would reseed), so every build claps the same.
RANDOM=7
rate=(-r "$SOUND_RATE" -c 1 -b 16)
pick() { REPLY=$(($1 + RANDOM % ($2 - $1 + 1))); } # a whole number from $1 to $2
sec() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); } # ms to s

# Eight claps: 50 ms of noise, each with its own ring and loudness.
for k in 0 1 2 3 4 5 6 7; do
  pick 800 2400
  ring=$REPLY
  pick 1 6
  "${SOX[@]}" -n "${rate[@]}" clap$k.wav synth 0.05 whitenoise \
    bandpass "$ring" 0.8q highpass 300 fade h 0.001 0.05 0.045 norm "-$REPLY"
done

# One person: claps every `period` ms, give or take 25, from `t` to `stop`;
# the claps laid end to end, with pad opening the silence between them.
tracks=()
for person in $(seq 1 24); do
  pick 0 250; t=$REPLY
  pick 1600 2300; stop=$REPLY
  pick 180 260; period=$REPLY
  pick 0 9; quieter=$REPLY
  claps=() pads=("$(sec "$t")@0") at=0
  while [ "$t" -lt "$stop" ]; do
    pick 0 7; claps+=("clap$REPLY.wav")
    pick -25 25; between=$((period + REPLY - 50))
    at=$((at + 50))
    pads+=("$(sec "$between")@$(sec "$at")")
    t=$((t + 50 + between))
  done
  unset 'pads[-1]'
  "${SOX[@]}" "${claps[@]}" person$person.wav pad "${pads[@]}" gain "-$quieter"
  tracks+=("person$person.wav")
done
"${SOX[@]}" -m "${tracks[@]}" crowd.wav
"${SOX[@]}" crowd.wav "$out" reverb 25 50 30 trim 0 2.5 fade q 0.15 2.5 0.8
