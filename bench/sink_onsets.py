#!/usr/bin/env python3
"""Records the null sink's monitor until stdin closes, then prints each sound
that began after at least 40 ms of silence: the time its first non-silent
sample reached this recorder (CLOCK_MONOTONIC, ms, as the program's log) and
how long it was heard (ms), and the longest quiet stretch within its first
WINDOW ms (an underrun shows as one) with where it began (ms after the onset).

Usage: sink_onsets.py SOURCE [WINDOW] < control   (PULSE_SERVER names the server)

Each block read from parec is stamped when it arrives, and a sample inside it
is dated back from that stamp by the samples that follow it; so the times
include the recorder's own few milliseconds and err on the late side.
"""
import os
import select
import subprocess
import sys
import time

RATE, QUIET_GAP = 44100, 0.04
WINDOW = float(sys.argv[2]) / 1000 if len(sys.argv) > 2 else 0
# The instrument, with the recorder it starts, runs ahead of what it measures
# where it may (as root): late, its stream could lose samples, and a player's
# slurp would look broken for it.
try:
    os.setpriority(os.PRIO_PROCESS, 0, -20)
except PermissionError:
    pass
recorder = subprocess.Popen(
    ["parec", "-d", sys.argv[1], "--raw", "--format=s16le", "--channels=1",
     f"--rate={RATE}", "--latency-msec=2"], stdout=subprocess.PIPE)
blocks, fd = [], recorder.stdout.fileno()
while True:
    ready, _, _ = select.select([fd, sys.stdin.fileno()], [], [])
    if fd in ready:
        data = os.read(fd, 4096)
        blocks.append((time.monotonic(), data))
    if sys.stdin.fileno() in ready and not os.read(sys.stdin.fileno(), 1):
        break
recorder.terminate()
if blocks:
    got = sum(len(d) for _, d in blocks) / 2 / RATE
    print(f"recorder: {got:.3f} s of samples in {blocks[-1][0] - blocks[0][0]:.3f} s of arrivals",
          file=sys.stderr)

# Quiet stretches are counted in samples, so that a block the recorder itself
# was late for does not count as one.
onset, last_sound, odd, hole, hole_at = None, -1.0, b"", 0.0, 0.0
k, last_k, onset_k = 0, 0, 0
for arrived, data in blocks:
    data = odd + data
    usable = len(data) - len(data) % 2
    data, odd = data[:usable], data[usable:]
    if data == bytes(usable):
        k += usable // 2
        continue
    samples = memoryview(data).cast("h")
    n = len(samples)
    for i in range(n):
        if abs(samples[i]) < 8:
            continue
        t = arrived - (n - i) / RATE
        if t - last_sound > QUIET_GAP:
            if onset is not None:
                print(f"{onset * 1000:.3f} {(last_sound - onset) * 1000:.0f} {hole * 1000:.1f} {hole_at * 1000:.1f}")
            onset, hole, onset_k = t, 0.0, k + i
        elif (k + i - onset_k) / RATE <= WINDOW:
            if (k + i - last_k) / RATE > hole:
                hole, hole_at = (k + i - last_k) / RATE, (last_k - onset_k) / RATE
        last_sound, last_k = t, k + i
    k += n
if onset is not None:
    print(f"{onset * 1000:.3f} {(last_sound - onset) * 1000:.0f} {hole * 1000:.1f} {hole_at * 1000:.1f}")
