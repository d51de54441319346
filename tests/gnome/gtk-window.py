#!/usr/bin/python3
"""For the tests only: a native GTK 4 window on Wayland, maximized, that
prints "over X Y" (in its own coordinates) whenever the pointer moves over it."""
import sys

import gi

gi.require_version("Gtk", "4.0")
from gi.repository import Gtk  # noqa: E402


def activate(app):
    window = Gtk.ApplicationWindow(application=app, title="native")
    motion = Gtk.EventControllerMotion()
    motion.connect("motion", lambda _, x, y: print(f"over {x:.0f} {y:.0f}", flush=True))
    window.add_controller(motion)
    window.maximize()
    window.present()


app = Gtk.Application()
app.connect("activate", activate)
sys.exit(app.run([]))
