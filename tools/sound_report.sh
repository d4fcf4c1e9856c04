#!/usr/bin/env bash
# Duration, peak and loudness of each sound the build made:
#   tools/sound_report.sh BIN_DIR [NAME...]
# start: the first sample above 1% of full scale; RMS: the whole file;
# active RMS: only the 10 ms blocks louder than -40 dBFS (pauses left out),
# the figure the loudness check in tests/assets/test_sounds.cpp compares.
set -euo pipefail
bin=$1
shift
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  names=(A B C D E F G H I J K L M N O P Q R S T U V W X Y Z yumdir yumdir2 goodjob
    ribbit ribbit2 slurp2 applp)
fi
printf '%-8s %7s %7s %8s %8s %9s %6s\n' sound rate "len s" "peak dB" "RMS dB" "active dB" "start"
for n in "${names[@]}"; do
  f=$bin/$n.wav
  rate=$(soxi -r "$f")
  sox "$f" -t dat - | awk -v name="$n" -v rate="$rate" '
    function db(x) { return x > 0 ? 20 * log(x) / log(10) : -999 }
    /^;/ { next }
    {
      x = $2; n++; sum += x * x; a = x < 0 ? -x : x
      if (a > peak) peak = a
      if (start == "" && a >= 0.01) start = (n - 1) / rate * 1000
      bsum += x * x; bn++
      if (bn == int(rate / 100)) { block() }
    }
    function block() {
      if (bn > 0 && db(sqrt(bsum / bn)) > -40) { asum += bsum; an += bn }
      bsum = 0; bn = 0
    }
    END {
      block()
      printf "%-8s %7d %7.3f %8.2f %8.2f %9.2f %4.1fms\n", name, rate, n / rate, db(peak),
        db(sqrt(sum / n)), an ? db(sqrt(asum / an)) : -999, start
    }'
done
