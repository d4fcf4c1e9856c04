# Shared by make_sounds.sh and compare_voices.sh (sourced, not run).
# Every sound of the game: 16-bit mono PCM at one rate, starting at once and
# levelled by how loud it is heard.

SOUND_RATE=44100
# -R: the same random numbers (noise, dither) on every run, so builds repeat.
SOX=(sox -R -V1)
# How loud each sound is heard (integrated LUFS): every spoken sound at the
# speech level, every other sound a little below it, and no peak, even between
# samples, above PEAK_CEILING dBTP. tools/loudness measures; the asset tests
# hold the sounds to the same bounds.
SPEECH_LUFS=-18
EFFECT_LUFS=-19
PEAK_CEILING=-1
LOUDNESS=${LOUDNESS:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/tools/loudness}

# Cuts the silence before and after the sound so it starts at once, with a
# short fade at each end so that it starts and ends at zero, without a click.
trim_effects=(silence 1 0.002 -46d reverse silence 1 0.010 -56d fade t 0.012 reverse fade t 0.004)

# lift IN OUT DB CEILING: raises (or lowers) IN by DB while a look-ahead
# limiter keeps every sample peak at or below CEILING dBFS: the gain dips
# smoothly (5 ms down, 80 ms back up) just enough for each peak, reaching it
# exactly when the peak comes.
lift() {
  local rate
  rate=$(soxi -r "$1")
  sox "$1" -t dat - | awk -v up="$3" -v top="$4" -v rate="$rate" '
    BEGIN { n = 0 }
    /^;/ { head = head $0 "\n"; next }
    { t[n] = $1; x[n] = $2 * 10 ^ (up / 20); n++ }
    END {
      ceiling = 10 ^ (top / 20)
      for (i = 0; i < n; i++) {
        a = x[i] < 0 ? -x[i] : x[i]
        g[i] = a > ceiling ? ceiling / a : 1
      }
      for (i = n - 2; i >= 0; i--) if (g[i] > g[i + 1] + 1 / (0.005 * rate)) g[i] = g[i + 1] + 1 / (0.005 * rate)
      for (i = 1; i < n; i++) if (g[i] > g[i - 1] + 1 / (0.080 * rate)) g[i] = g[i - 1] + 1 / (0.080 * rate)
      printf "%s", head
      for (i = 0; i < n; i++) printf "%s %.9f\n", t[i], x[i] * g[i]
    }' | "${SOX[@]}" -D -t dat - -b 16 -e signed-integer "$2"
}

# finish IN OUT LUFS: the game's format, trimmed, brought to LUFS with its true
# peak at or below PEAK_CEILING. The limiter, when it has work, takes some of
# the level back and lets a little through between samples: measure again and
# correct, a few times.
finish() {
  local cut=$2.cut.wav up ceiling=$((PEAK_CEILING - 1)) pass lufs peak
  [ -x "$LOUDNESS" ] || { echo "sound_lib.sh: no loudness meter at $LOUDNESS" >&2; return 1; }
  "${SOX[@]}" "$1" -D -b 16 -e signed-integer "$cut" \
    channels 1 rate -v "$SOUND_RATE" highpass 50 norm -1 "${trim_effects[@]}"
  read -r lufs peak _ < <("$LOUDNESS" "$cut")
  up=$(awk -v t="$3" -v l="$lufs" 'BEGIN { printf "%.2f", t - l }')
  for pass in 1 2 3 4; do
    lift "$cut" "$2" "$up" "$ceiling"
    read -r lufs peak _ < <("$LOUDNESS" "$2")
    awk -v t="$3" -v l="$lufs" -v p="$peak" -v c="$PEAK_CEILING" \
      'BEGIN { exit !((l - t) ^ 2 < 0.04 && p <= c - 0.05) }' && break
    read -r up ceiling < <(awk -v t="$3" -v l="$lufs" -v u="$up" -v p="$peak" -v c="$ceiling" \
      -v top="$PEAK_CEILING" 'BEGIN { if (p > top - 0.05) c -= p - top + 0.1
                                       printf "%.2f %.2f\n", u + t - l, c }')
  done
  rm -f "$cut"
}

# level FILE FIELD: one figure from `sox -n stats` ("RMS lev dB", "Pk lev dB", ...).
level() {
  sox "$1" -n stats 2>&1 | awk -v f="$2" 'index($0, f) == 1 { print $NF; exit }'
}
