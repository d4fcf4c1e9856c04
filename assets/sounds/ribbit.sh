# The greeting: two slow, low "rib-bit"s.
source "$src/frog.sh"
croak rib.wav 0.22 190 160 30
croak bit.wav 0.11 205 225 38
gap short.wav 0.06
gap long.wav 0.42
"${SOX[@]}" rib.wav short.wav bit.wav long.wav rib.wav short.wav bit.wav "$out"
