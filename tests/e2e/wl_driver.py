#!/usr/bin/python3
# The end-to-end driver's input on the Wayland target (run_e2e.py --target wayland), through
# Mutter's RemoteDesktop, with a screen cast of the monitor linked to it (absolute pointer
# motion needs a stream; it is also the one vimo_wl_shot reads, cursor mode "metadata").
# Run with the system's python3 (python3-dbus). It prints {"node": N}, the cast's PipeWire
# node, then answers each line of stdin with one line, "ok" or "error: ...":
#   move X Y          the pointer to (X, Y) on the monitor
#   rel DX DY         the pointer by (DX, DY)
#   button CODE 1|0   a button (evdev: 272 left, 273 right, 274 middle) down or up
#   wheel STEPS       vertical wheel notches (negative: away from the user)
#   key KEYSYM 1|0    a key, by its keysym, down or up
import json
import sys

import dbus
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
RD, SC = "org.gnome.Mutter.RemoteDesktop", "org.gnome.Mutter.ScreenCast"
rd_path = bus.get_object(RD, "/org/gnome/Mutter/RemoteDesktop").CreateSession(dbus_interface=RD)
rd = dbus.Interface(bus.get_object(RD, rd_path), RD + ".Session")
rd_id = bus.get_object(RD, rd_path).Get(RD + ".Session", "SessionId",
                                        dbus_interface="org.freedesktop.DBus.Properties")
sc_path = bus.get_object(SC, "/org/gnome/Mutter/ScreenCast").CreateSession(
    {"remote-desktop-session-id": rd_id}, dbus_interface=SC)
stream = bus.get_object(SC, sc_path).RecordMonitor(
    "Meta-0", {"cursor-mode": dbus.UInt32(2)}, dbus_interface=SC + ".Session")
loop, node = GLib.MainLoop(), []
bus.add_signal_receiver(lambda n: (node.append(int(n)), loop.quit()), "PipeWireStreamAdded",
                        SC + ".Stream", path=stream)
rd.Start()
GLib.timeout_add(10000, loop.quit)
loop.run()
if not node:
    sys.exit("wl_driver: no PipeWire stream for the monitor")
# Mutter makes its virtual keyboard at the first key, which that key does not survive.
for down in (True, False):
    rd.NotifyKeyboardKeysym(dbus.UInt32(0xFFE1), down)  # Shift_L
print(json.dumps({"node": node[0]}), flush=True)

COMMANDS = {
    "move": lambda x, y: rd.NotifyPointerMotionAbsolute(stream, float(x), float(y)),
    "rel": lambda dx, dy: rd.NotifyPointerMotionRelative(float(dx), float(dy)),
    "button": lambda code, down: rd.NotifyPointerButton(int(code), down == "1"),
    "wheel": lambda steps: rd.NotifyPointerAxisDiscrete(dbus.UInt32(0), int(steps)),
    "key": lambda sym, down: rd.NotifyKeyboardKeysym(dbus.UInt32(int(sym)), down == "1"),
}
for line in sys.stdin:
    words = line.split()
    try:
        COMMANDS[words[0]](*words[1:])
        print("ok", flush=True)
    except Exception as exc:  # the answer says what went wrong; the driver goes on
        print(f"error: {exc!r}".replace("\n", " "), flush=True)
rd.Stop()
