#!/usr/bin/python3
"""For bench/gnome-cpu.sh: moves GNOME Shell's pointer as a mouse would, from
outside the shell, through mutter's remote desktop session (relative motion,
which needs no screen cast), so that the shell spends on each step what a
device's event costs it and nothing of ours. Reads lines on stdin:
"circle CX CY R RATE SECONDS" moves the pointer from (CX + R, CY) around that
circle, one turn a second, RATE steps a second, and answers "done STEPS".
The pointer must be at (CX + R, CY) before: relative motion starts where it is."""
import math
import sys
import time

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(path, interface, method, args=None):
    return bus.call_sync("org.gnome.Mutter.RemoteDesktop", path, interface, method, args,
                         None, Gio.DBusCallFlags.NONE, 5000, None)


session = call("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
               "CreateSession").unpack()[0]
SESSION = "org.gnome.Mutter.RemoteDesktop.Session"
call(session, SESSION, "Start")
print("ready", flush=True)


def circle(cx, cy, r, rate, seconds):
    # Each step waits for the shell's answer, as a device's events wait for
    # the compositor to read them; a late step goes at once.
    del cx, cy  # where the pointer already is
    steps = int(rate * seconds)
    start = time.monotonic()
    x, y = r, 0.0
    for i in range(1, steps + 1):
        delay = start + i / rate - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        angle = 2 * math.pi * i / rate
        nx, ny = r * math.cos(angle), r * math.sin(angle)
        call(session, SESSION, "NotifyPointerMotionRelative", GLib.Variant("(dd)", (nx - x, ny - y)))
        x, y = nx, ny
    return steps


for line in sys.stdin:
    words = line.split()
    if len(words) == 6 and words[0] == "circle":
        print("done", circle(*map(float, words[1:])), flush=True)
call(session, SESSION, "Stop")
