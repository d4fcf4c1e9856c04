#!/usr/bin/env python3
"""Starts a program and prints, in ms, how long until the screen first shows
anything but the empty root window, watched from outside through Xlib.

Usage: first_paint.py [--cpu] PIDFILE COMMAND [ARG...]   (DISPLAY names the X server)

The same outside view serves for any program, so two programs' figures
compare fairly. The screen is read in one-pixel strips every 32 rows, about
every 2 ms; the figure is the time of the first read that differs from the
one taken before the start. The program is left running; its pid goes to
PIDFILE; its output is dropped.

With --cpu the program is killed as soon as the paint is seen, and the CPU
time it had spent by then (all its threads, user and system, as the kernel
counts it for a child that has ended) is printed after the time, in ms. It
is steadier than the time on a busy machine, where the program waits for a
core. The kill comes a read of the screen after the paint, so both figures
include up to one read (about 2 ms) of what follows it.
"""
import ctypes
import os
import signal
import subprocess
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")


class XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage.
    _fields_ = [
        ("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
        ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
        ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
        ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
        ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int),
    ]


x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XDisplayWidth.argtypes = x11.XDisplayHeight.argtypes = [ctypes.c_void_p, ctypes.c_int]
x11.XGetImage.restype = ctypes.POINTER(XImage)
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XFree.argtypes = [ctypes.c_void_p]

ZPIXMAP, ALL_PLANES, STEP = 2, 0xFFFFFFFF, 32


def main():
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("first_paint: cannot open the display")
    root = x11.XDefaultRootWindow(display)
    width, height = x11.XDisplayWidth(display, 0), x11.XDisplayHeight(display, 0)

    def screen():
        rows = []
        for y in range(0, height, STEP):
            image = x11.XGetImage(display, root, 0, y, width, 1, ALL_PLANES, ZPIXMAP)
            rows.append(ctypes.string_at(image.contents.data, image.contents.bytes_per_line))
            x11.XFree(image.contents.data)
            x11.XFree(image)
        return b"".join(rows)

    args = sys.argv[1:]
    cpu = args[0] == "--cpu"
    if cpu:
        args = args[1:]
    blank = screen()
    start = time.monotonic()
    program = subprocess.Popen(args[1:], stdout=subprocess.DEVNULL)
    with open(args[0], "w") as f:
        f.write(str(program.pid))
    while screen() == blank:
        if program.poll() is not None:
            sys.exit("first_paint: the program ended before it painted")
        if time.monotonic() - start > 30:
            sys.exit("first_paint: nothing painted in 30 s")
    paint = (time.monotonic() - start) * 1000
    if not cpu:
        print(f"{paint:.1f}")
        return
    os.kill(program.pid, signal.SIGKILL)
    _, _, usage = os.wait4(program.pid, 0)
    print(f"{paint:.1f} {(usage.ru_utime + usage.ru_stime) * 1000:.1f}")


main()
