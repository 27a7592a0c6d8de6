#!/usr/bin/python3
# The test pattern of the end-to-end driver's Wayland target (run_e2e.py --target wayland) as
# a native Wayland window (GTK 3, GDK_BACKEND=wayland). Run with the system's python3
# (python3-gi, gir1.2-gtk-3.0, python3-gi-cairo).
#
# A Wayland client cannot place its window, so `pattern_wayland.py X Y W H` covers the
# monitor with an undecorated, maximized window in which each pixel is the screen's: the
# pattern inside the rect at (X, Y), W x H, black elsewhere (as the root of an X screen
# without a window manager's background is). It prints {"shown": true} once it has drawn
# the monitor's size, then answers each line of stdin with {"ok": true} or {"ok": false}:
#   move X Y   the pattern's rect, with its colours, drawn at (X, Y) from the next frame on
# The pointer over it is GTK's default one. It ends when stdin closes.
#
# The pattern gives every screen pixel its own colour (as pattern_x11.cpp and pattern.cpp):
#   R = (x * 37) mod 256, G = (y * 59) mod 256,
#   B = 0x80 | ((x >> 8) & 7) | (((y >> 8) & 7) << 3)
import json
import sys

import cairo
import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

x0, y0, w, h = map(int, sys.argv[1:5])
at, shown = [x0, y0], False
pixels = bytearray(b"".join(  # cairo's RGB24: B, G, R, unused on a little-endian machine
    bytes((0x80 | (x >> 8) & 7 | ((y >> 8) & 7) << 3, (y * 59) & 0xFF, (x * 37) & 0xFF, 0))
    for y in range(y0, y0 + h) for x in range(x0, x0 + w)))
image = cairo.ImageSurface.create_for_data(pixels, cairo.FORMAT_RGB24, w, h, w * 4)


def draw(area: Gtk.DrawingArea, cr: cairo.Context) -> bool:
    global shown
    cr.set_source_rgb(0, 0, 0)
    cr.paint()
    cr.set_source_surface(image, *at)
    cr.rectangle(*at, w, h)
    cr.fill()
    monitor = area.get_display().get_monitor_at_window(area.get_window()).get_geometry()
    size = (area.get_allocated_width(), area.get_allocated_height())
    if not shown and size == (monitor.width, monitor.height):
        shown = True
        print(json.dumps({"shown": True}), flush=True)
    return True


def command(channel: GLib.IOChannel, _condition: GLib.IOCondition) -> bool:
    status, line, _, _ = channel.read_line()
    if status != GLib.IOStatus.NORMAL:
        Gtk.main_quit()
        return False
    words = line.split()
    ok = len(words) == 3 and words[0] == "move"
    if ok:
        at[:] = map(int, words[1:])
        window.queue_draw()
    print(json.dumps({"ok": ok}), flush=True)
    return True


window = Gtk.Window(title="vimo_pattern", decorated=False)
window.maximize()
area = Gtk.DrawingArea()
area.connect("draw", draw)
window.add(area)
window.connect("destroy", Gtk.main_quit)
window.show_all()
GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.PRIORITY_DEFAULT,
                  GLib.IOCondition.IN | GLib.IOCondition.HUP, command)
Gtk.main()
