#!/usr/bin/env python3
# The memory a group of processes really holds: the physical pages present in
# any of them, each counted once however many of them map it (a library the
# game and its sound host share is one set of pages). For one process this
# is its RSS. Needs root: /proc/PID/pagemap hides the page frames otherwise.
# Usage: pages.py PID...   prints MiB
import struct, sys

frames = set()
for pid in sys.argv[1:]:
    try:
        maps = open(f"/proc/{pid}/maps").read().splitlines()
        pagemap = open(f"/proc/{pid}/pagemap", "rb")
    except OSError:
        continue
    for line in maps:
        lo, hi = (int(x, 16) for x in line.split()[0].split("-"))
        if line.endswith("[vsyscall]"):
            continue
        pagemap.seek(lo // 4096 * 8)
        data = pagemap.read((hi - lo) // 4096 * 8)
        for (entry,) in struct.iter_unpack("<Q", data):
            if entry >> 63 and entry & ((1 << 55) - 1):
                frames.add(entry & ((1 << 55) - 1))
print(f"{len(frames) * 4096 / 1048576:.2f}" if frames else "nan")  # not root: no frames shown
