#!/usr/bin/env python3
"""Records the null sink's monitor until stdin closes, then prints each sound
that began after at least 40 ms of silence: the time its first non-silent
sample reached this recorder (CLOCK_MONOTONIC, ms, as the program's log) and
how long it was heard (ms).

Usage: sink_onsets.py SOURCE < control   (PULSE_SERVER names the server)

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

onset, last_sound, odd = None, -1.0, b""
for arrived, data in blocks:
    data = odd + data
    usable = len(data) - len(data) % 2
    data, odd = data[:usable], data[usable:]
    if data == bytes(usable):
        continue
    samples = memoryview(data).cast("h")
    n = len(samples)
    for i in range(n):
        if abs(samples[i]) < 8:
            continue
        t = arrived - (n - i) / RATE
        if t - last_sound > QUIET_GAP:
            if onset is not None:
                print(f"{onset * 1000:.3f} {(last_sound - onset) * 1000:.0f}")
            onset = t
        last_sound = t
if onset is not None:
    print(f"{onset * 1000:.3f} {(last_sound - onset) * 1000:.0f}")
