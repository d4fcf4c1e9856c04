# The frog's croak, shared by ribbit.sh and ribbit2.sh (sourced in a scratch
# folder): croak OUT SECONDS PITCH1 PITCH2 PULSES
# A buzzing voice from PITCH1 to PITCH2 Hz, chopped into PULSES short pulses a
# second, through a throat that rings low and a nose that takes out the middle.
croak() {
  "${SOX[@]}" -n -r "$SOUND_RATE" -c 1 -b 16 "$1" \
    synth "$2" sawtooth "$3:$4" synth "$2" square amod "$5" 0 0 40 \
    lowpass 3000 equalizer 500 1q +12 equalizer 1500 2q +6 bandreject 950 2q \
    overdrive 6 fade q 0.008 "$2" 0.03 norm -3
}

# gap OUT SECONDS: silence between croaks.
gap() {
  "${SOX[@]}" -n -r "$SOUND_RATE" -c 1 -b 16 "$1" trim 0 "$2"
}
