# The reward: three quick, higher "rib-bit"s, each a little higher than the last.
source "$src/frog.sh"
parts=()
for step in 0 1 2; do
  croak rib$step.wav 0.14 $((250 + 25 * step)) $((225 + 25 * step)) 44
  croak bit$step.wav 0.08 $((270 + 30 * step)) $((310 + 30 * step)) 50
  parts+=(rib$step.wav short.wav bit$step.wav long.wav)
done
gap short.wav 0.04
gap long.wav 0.12
unset 'parts[-1]'
"${SOX[@]}" "${parts[@]}" "$out"
