# Shared by make_sounds.sh and compare_voices.sh (sourced, not run).
# Every sound of the game: 16-bit mono PCM at one rate, starting at once,
# peaks at -1 dBFS and about as loud as the others.

SOUND_RATE=44100
# -R: the same random numbers (noise, dither) on every run, so builds repeat.
SOX=(sox -R -V1)
# Sounds quieter than this (active RMS, dBFS) are brought up to it, their
# peaks held down; louder ones are left as they are.
SOUND_LOUDNESS=-13

# Cuts the silence before and after the sound so it starts at once, with a
# short fade at the end so the cut does not click.
trim_effects=(silence 1 0.002 -46d reverse silence 1 0.010 -56d fade t 0.012 reverse)

# active_rms FILE: RMS in dBFS of the 10 ms blocks louder than -40 dBFS, so
# that pauses between words do not count (tests/assets/test_sounds.cpp
# measures the same).
active_rms() {
  sox "$1" -t dat - | awk -v block="$(($(soxi -r "$1") / 100))" '
    /^;/ { next }
    { s += $2 * $2; n++; if (n == block) flush() }
    function flush() {
      if (n > 0 && s / n > 1e-4) { all += s; count += n }
      s = 0; n = 0
    }
    END { flush(); printf "%.2f\n", count ? 10 * log(all / count) / log(10) : -99 }'
}

# lift IN OUT DB: raises IN by DB while a look-ahead limiter keeps every peak
# at or below -1 dBFS: the gain dips smoothly (5 ms down, 80 ms back up) just
# enough for each peak, reaching it exactly when the peak comes.
lift() {
  local rate
  rate=$(soxi -r "$1")
  sox "$1" -t dat - | awk -v up="$3" -v rate="$rate" '
    BEGIN { n = 0 }
    /^;/ { head = head $0 "\n"; next }
    { t[n] = $1; x[n] = $2 * 10 ^ (up / 20); n++ }
    END {
      ceiling = 10 ^ (-1 / 20)
      for (i = 0; i < n; i++) {
        a = x[i] < 0 ? -x[i] : x[i]
        g[i] = a > ceiling ? ceiling / a : 1
      }
      for (i = n - 2; i >= 0; i--) if (g[i] > g[i + 1] + 1 / (0.005 * rate)) g[i] = g[i + 1] + 1 / (0.005 * rate)
      for (i = 1; i < n; i++) if (g[i] > g[i - 1] + 1 / (0.080 * rate)) g[i] = g[i - 1] + 1 / (0.080 * rate)
      printf "%s", head
      for (i = 0; i < n; i++) printf "%s %.9f\n", t[i], x[i] * g[i]
    }' | "${SOX[@]}" -t dat - -b 16 -e signed-integer "$2"
}

# finish IN OUT: the game's format, trimmed, levelled, peaks at -1 dBFS.
finish() {
  local trimmed=$2.trim.wav up
  "${SOX[@]}" "$1" -b 16 -e signed-integer "$trimmed" \
    channels 1 rate -v "$SOUND_RATE" highpass 50 norm -1 "${trim_effects[@]}" norm -1
  up=$(awk -v a="$(active_rms "$trimmed")" -v t="$SOUND_LOUDNESS" \
    'BEGIN { printf "%.2f", a < t ? t - a : 0 }')
  cp "$trimmed" "$2"
  # The limiter takes some of the lift back: lift again by what is missing,
  # but never by more than 4 dB, past which the limiting would be heard.
  local pass last=0.00
  for pass in 1 2 3; do
    [ "$up" = "$last" ] && break
    lift "$trimmed" "$2" "$up"
    last=$up
    up=$(awk -v a="$(active_rms "$2")" -v t="$SOUND_LOUDNESS" -v u="$up" \
      'BEGIN { u = a < t - 0.25 ? u + t - a : u; printf "%.2f", (u > 4 ? 4 : u) }')
  done
  rm -f "$trimmed"
}

# level FILE FIELD: one figure from `sox -n stats` ("RMS lev dB", "Pk lev dB", ...).
level() {
  sox "$1" -n stats 2>&1 | awk -v f="$2" 'index($0, f) == 1 { print $NF; exit }'
}
