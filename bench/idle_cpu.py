#!/usr/bin/env python3
"""What a running Vimo costs the machine: the CPU time of the real program and of the X
server together, read from /proc while Vimo runs on its own Xvfb display.

Rows (each with a fresh Vimo and settings file):
  idle, start size        nothing on the screen changes; the window as it starts
  idle, 1002 grid         the same with a 1002 x 1002 client at 3 X and the grid
  moving, 1002 grid       the pointer circles beside the window, the view follows it
  moving over locked view the view is locked, the pointer circles over it
A row's figure is the percentage of one core that Vimo and the X server used together
over the measured seconds (and each one's share). The pointer is moved with XTest from
this script, 100 times a second, in the moving rows only; what that costs the server is
in the figure, alike for every build measured.

On a Wayland session (WAYLAND_DISPLAY set: scripts/wayland-session.sh --allow
bench/idle_cpu.py VIMO) Vimo runs on its Xwayland, and the "X" figure is the desktop's
side: mutter (with Xwayland), PipeWire and WirePlumber; only the idle rows run (this
script cannot move the Wayland pointer).

Usage: idle_cpu.py VIMO [--seconds 20] [--label NAME]
Not a test: it prints figures and judges none.
"""
import argparse
import ctypes
import math
import os
import shutil
import subprocess
import sys
import tempfile
import time

SCREEN = (1280, 1024)
TWIPS = 15  # per pixel at 96 DPI


def cpu_seconds(pid):
    """The CPU time the process has used, from /proc (nanoseconds where schedstat has
    them, clock ticks otherwise)."""
    try:
        with open(f"/proc/{pid}/schedstat") as f:
            return int(f.read().split()[0]) / 1e9
    except OSError:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Pointer:
    """Moves the X pointer with XTest, as a hand would."""

    def __init__(self, display):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.xtst = ctypes.CDLL("libXtst.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.xtst.XTestFakeMotionEvent.argtypes = [
            ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
        self.x11.XFlush.argtypes = [ctypes.c_void_p]
        self.x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.dpy = self.x11.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open " + display)

    def move(self, x, y):
        self.xtst.XTestFakeMotionEvent(self.dpy, -1, int(x), int(y), 0)
        self.x11.XFlush(self.dpy)

    def close(self):
        self.x11.XCloseDisplay(self.dpy)


def start_xvfb(tmp):
    read, write = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
         "-nolisten", "tcp", "-noreset"], pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            raise RuntimeError("Xvfb did not start")
        number += chunk
    os.close(read)
    return xvfb, ":" + number.decode().strip()


def run_row(vimo, display, servers, settings, moves, seconds, tmp):
    home = tempfile.mkdtemp(dir=tmp)
    os.makedirs(os.path.join(home, "Vimo"))
    if settings:
        with open(os.path.join(home, "Vimo", "Vimo.ini"), "w") as f:
            f.write("[Settings]\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
    env = dict(os.environ, DISPLAY=display, XDG_CONFIG_HOME=home, GTK_CSD="0",
               GSETTINGS_BACKEND="memory", NO_AT_BRIDGE="1")
    pointer = Pointer(display)
    pointer.move(100, 100)
    proc = subprocess.Popen([vimo], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        time.sleep(3)  # the window comes up, the first frames are drawn
        if proc.poll() is not None:
            raise RuntimeError(f"{vimo} ended with {proc.returncode}")
        v0, x0, t0 = cpu_seconds(proc.pid), sum(map(cpu_seconds, servers)), time.monotonic()
        end = t0 + seconds
        step = 0
        while time.monotonic() < end:
            if moves:
                at = moves(step)
                pointer.move(*at)
                step += 1
                time.sleep(0.01)
            else:
                time.sleep(min(0.5, max(0.0, end - time.monotonic())))
        v1, x1, t1 = cpu_seconds(proc.pid), sum(map(cpu_seconds, servers)), time.monotonic()
    finally:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        pointer.close()
        shutil.rmtree(home, ignore_errors=True)
    wall = t1 - t0
    return 100 * (v1 - v0) / wall, 100 * (x1 - x0) / wall


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("vimo")
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--label", default="")
    args = parser.parse_args()
    vimo = os.path.abspath(args.vimo)
    big = 1002
    left = SCREEN[0] - big  # the window at the top right, the pointer's circles left of it
    large = {"Grid": -1, "Width": big * TWIPS, "Height": big * TWIPS,
             "Left": left * TWIPS, "Top": 0}
    locked = dict(large, Locked=-1, XPos=0, YPos=0)

    def beside(step):  # a circle of 100 pixels' radius, about once in 3 s
        a = step * 2 * math.pi / 300
        return 140 + 100 * math.cos(a), 500 + 100 * math.sin(a)

    def over_view(step):
        a = step * 2 * math.pi / 300
        return left + 500 + 300 * math.cos(a), 500 + 300 * math.sin(a)

    measuring = {"Locked": -1, "Measure": -1, "XPos": 0, "YPos": 0}
    rows = [("idle, start size", {}, None), ("idle, measuring", measuring, None),
            ("idle, 1002 grid", large, None),
            ("moving, 1002 grid", large, beside), ("moving over locked view", locked, over_view)]
    tmp = tempfile.mkdtemp(prefix="vimo-idle-")
    wayland = bool(os.environ.get("WAYLAND_DISPLAY"))
    if wayland:
        xvfb, display = None, os.environ["DISPLAY"]
        servers = [int(p) for name in ("mutter", "Xwayland", "pipewire", "wireplumber")
                   for p in subprocess.run(["pgrep", "-x", name], capture_output=True,
                                           text=True).stdout.split()]
        rows = [row for row in rows if row[2] is None]
    else:
        xvfb, display = start_xvfb(tmp)
        servers = [xvfb.pid]
    try:
        print(f"CPU time of Vimo and the X server, % of one core over {args.seconds:g} s"
              f" {args.label}")
        print(f"{'row':26} {'both':>7} {'Vimo':>7} {'X':>7}")
        for name, settings, moves in rows:
            vimo_pct, x_pct = run_row(vimo, display, servers, settings, moves, args.seconds, tmp)
            print(f"{name:26} {vimo_pct + x_pct:7.2f} {vimo_pct:7.2f} {x_pct:7.2f}", flush=True)
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(tmp, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
