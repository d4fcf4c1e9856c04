# Applause: a small crowd clapping in a hall. Each clap is a few milliseconds
# of noise through the ring of the hollow between two hands; each person claps
# at a pace of their own, with hands of their own (the ring's pitch and how
# sharp it is), a little unevenly, nearer or further away. They join in over
# the first third of a second, clap hardest in the middle and stop one by one,
# softening first. A hall's reverb and the air's damping of the highs come last.
# The numbers come from a fixed-seed generator written out here, so that every
# awk and every build claps the same.
awk -v rate="$SOUND_RATE" -v people=16 -v seconds=2.3 '
  function rnd() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
  function between(a, b) { return a + (b - a) * rnd() }
  # A clap at time t (s): noise rising in 0.4 ms and dying away in `decay` s,
  # through a resonance at `pitch` Hz, with some of the bare noise for its crack.
  function clap(t, level, pitch, sharp, decay, crack,   w, alpha, a0, b0, a1, a2, x1, x2, y1, y2, i, n, at, e, x, y) {
    w = 2 * 3.14159265 * pitch / rate; alpha = sin(w) / (2 * sharp); a0 = 1 + alpha
    b0 = alpha / a0; a1 = -2 * cos(w) / a0; a2 = (1 - alpha) / a0
    x1 = x2 = y1 = y2 = 0
    n = int(0.06 * rate); at = int(t * rate)
    for (i = 0; i < n && at + i < total; i++) {
      e = (i < 0.0004 * rate ? i / (0.0004 * rate) : exp(-(i / rate - 0.0004) / decay))
      x = (2 * rnd() - 1) * e
      y = b0 * x - b0 * x2 - a1 * y1 - a2 * y2
      x2 = x1; x1 = x; y2 = y1; y1 = y
      out[at + i] += level * (y * 3 + crack * x)
    }
  }
  BEGIN {
    seed = 20261207; total = int(seconds * rate)
    for (p = 0; p < people; p++) {
      near = between(0.35, 1)          # how close: level and crack
      pitch = between(900, 2400)       # cupped hands ring low, flat hands high
      sharp = between(2, 6)
      period = between(0.19, 0.28)     # claps 3.5 to 5 times a second
      t = between(0, 0.35) * between(0.3, 1)
      stop = between(1.2, 2.0)
      while (t < stop) {
        # Hardest in the middle; softer on the way out.
        swell = (t < 0.5 ? 0.6 + 0.8 * t : 1) * (t > stop - 0.5 ? 0.5 + (stop - t) : 1)
        clap(t, near * swell * between(0.6, 1), pitch * between(0.93, 1.07), sharp,
             between(0.003, 0.008), 0.4 * near)
        t += period * between(0.9, 1.1)
      }
    }
    printf "; Sample Rate %d\n; Channels 1\n", rate
    for (i = 0; i < total; i++) printf "%.6f %.6f\n", i / rate, out[i] / 8
  }' | "${SOX[@]}" -t dat - -r "$SOUND_RATE" -c 1 -b 16 dry.wav norm -3
"${SOX[@]}" dry.wav "$out" highpass 250 lowpass 6000 pad 0 0.4 reverb 60 70 90 0 20 -2 \
  channels 1 norm -3 fade q 0.002 -0 0.3
