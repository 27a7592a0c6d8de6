#!/usr/bin/env python3
# End-to-end tests of the real Vimo on a private Xvfb screen: vimo.exe under Wine, or the
# native Linux build under a window manager (openbox):
#
#   python3 tests/e2e/run_e2e.py --exe build/mingw/vimo.exe \
#       --pattern build/mingw/tests/e2e/vimo_pattern.exe --out build/e2e [--case NAME]
#   python3 tests/e2e/run_e2e.py --target linux --exe build/linux/vimo \
#       --pattern build/linux/tests/e2e/vimo_pattern_x11 --out build/e2e-linux
#
# tests/e2e/README.md tells what the cases check and which ways of Wine and X they rely on.

import argparse
import contextlib
import json
import math
import os
import re
import select
import shutil
import signal
import subprocess
import struct
import sys
import tempfile
import threading
import time
import traceback
import uuid
from collections import namedtuple
from dataclasses import dataclass, replace
from fractions import Fraction
from pathlib import Path
from typing import Callable, Optional

REPO = Path(__file__).resolve().parents[2]
W, H = 1280, 1024                    # the screen
DPI = 96                             # the prefix's LogPixels (--dpi)
COMPOSITOR = False                   # Linux: xcompmgr composites the screen (--compositor)
PATTERN = (760, 560, W, H)           # the pattern window: left, top, right, bottom
PLACE = (*PATTERN[:2], PATTERN[2] - PATTERN[0], PATTERN[3] - PATTERN[1])  # x, y, w, h
HOME = (40, 40)                      # Vimo's window, away from every area it magnifies
P1, P2, CORNER = (1000, 780), (1037, 803), (W - 1, H - 1)
HINT = "  Right click for a menu"
HINT_SECONDS = 2000 * 0.015
TIMEOUT = 5.0                        # seconds to wait for a state
BLACK, GREY, RED = b"\0\0\0", b"\xc0\xc0\xc0", b"\xff\0\0"
POINTER_REACH = (4, 32)              # source pixels a drawn pointer may cover at 96 DPI
# The popup menu's items as the keyboard reaches them (separators are skipped).
MENU = ["Magnification", "Always on top", "Stick to mouse (press 'M' to toggle)",
        "Centered to mouse", "Top left of mouse", "Lock (press 'space' to toggle)", "Measure",
        "Slow down mouse pointer in magnified area", "Show mouse pointer", "Show grid",
        "Grid color ...", "Freeze screen (press 'F' to toggle)", "Pixel info ... (press 'I')",
        "About ..."]


class CaseFailure(Exception):
    pass


def px(twips: int) -> int:
    """Twips as pixels at the run's DPI, rounded as Vimo rounds (ties to even)."""
    return round(twips * DPI / 1440)


def twips(pixels: int) -> str:
    """Pixels as Vimo writes them in twips: 7 significant digits, a point before a
    fraction (exact at 96, 144 and 192 DPI: 15, 10 and 7.5 twips a pixel)."""
    return f"{pixels * 1440 / DPI:.7g}"


def pattern_colour(x: int, y: int) -> bytes:
    return bytes(((x * 37) & 0xFF, (y * 59) & 0xFF, 0x80 | (x >> 8) & 7 | ((y >> 8) & 7) << 3))


def describe(c: bytes) -> str:
    """The colour, and the screen pixel whose pattern colour it is, if there is one."""
    x = (c[0] * pow(37, -1, 256)) & 0xFF | (c[2] & 7) << 8
    y = (c[1] * pow(59, -1, 256)) & 0xFF | (c[2] >> 3 & 7) << 8
    inside = PATTERN[0] <= x < PATTERN[2] and PATTERN[1] <= y < PATTERN[3]
    return f"#{c.hex()}" + (f" = pattern {x},{y}" if inside and pattern_colour(x, y) == c else "")


class Shot:
    """A screenshot of the whole screen, 3 bytes (R, G, B) a pixel."""

    def __init__(self, data: bytes):
        self.data = data

    def pixel(self, x: int, y: int) -> bytes:
        return self.data[(y * W + x) * 3:(y * W + x) * 3 + 3]

    def save(self, path: Path, rect: list[int], margin: int = 0) -> None:
        left, top = max(rect[0] - margin, 0), max(rect[1] - margin, 0)
        right, bottom = min(rect[2] + margin, W), min(rect[3] + margin, H)
        subprocess.run(["convert", "-size", f"{W}x{H}", "-depth", "8", "rgb:-", "-crop",
                        f"{right - left}x{bottom - top}+{left}+{top}", "+repage", str(path)],
                       input=self.data, check=True)


@dataclass(frozen=True)
class ViewState:
    factor: int = 3
    centered: bool = True
    grid: bool = False
    pointer: bool = True
    topmost: bool = True
    client: tuple[int, int] = (200, 199)  # set from the design by fresh_state()
    grid_colour: bytes = GREY
    locked: bool = False
    shift: tuple[int, int] = (0, 0)  # the pattern window moved by this from PATTERN


def fresh_state() -> ViewState:
    """The options at a first start: the design's client area of 3000 x 3345 twips less
    the 24-pixel read-out band."""
    return ViewState(client=(px(3000), px(3345) - 24))


Layout = namedtuple("Layout", "x y w h")  # the captured area's left and top, the view's size


def layout(s: ViewState, cursor: tuple[int, int]) -> Layout:
    """Whole blocks of the factor in a one-pixel frame; the captured area centred on the
    pointer (or with its pixel bottom right), inside the screen."""
    src_w, src_h = (s.client[0] - 2) // s.factor, (s.client[1] - 2) // s.factor
    x, y = (c - n // 2 if s.centered else c - n + 1 for c, n in zip(cursor, (src_w, src_h)))
    return Layout(max(0, min(x, W - src_w)), max(0, min(y, H - src_h)),
                  src_w * s.factor, src_h * s.factor)


def pointer_blocks(image: dict, cursor: tuple[int, int], lay: Layout,
                   f: int) -> dict[tuple[int, int], tuple]:
    """The client pixels the enlarged pointer covers, each with its image pixel as
    premultiplied (a, r, g, b). Vimo draws image pixel (i, j) as the f x f block from
    f * (pointer - captured area's corner - hot spot + (i, j)): one pixel up and left of the
    picture's blocks, which start at (1, 1) after the frame."""
    (w, h), (hx, hy), argb = image["size"], image["hot"], bytes.fromhex(image["argb"])
    left, top = f * (cursor[0] - lay.x - hx), f * (cursor[1] - lay.y - hy)
    return {(left + f * i + a, top + f * j + b): tuple(argb[4 * (j * w + i):4 * (j * w + i) + 4])
            for j in range(h) for i in range(w) if argb[4 * (j * w + i)]
            for a in range(f) for b in range(f)}


def blend(over: tuple, under: bytes) -> bytes:
    """A premultiplied pixel over another: src + dst * (255 - alpha) / 255, rounded."""
    return bytes(min(255, s + (d * (255 - over[0]) + 127) // 255) for s, d in zip(over[1:], under))


def view_errors(shot: Shot, client: list[int], s: ViewState, cursor: tuple[int, int],
                image: Optional[dict] = None) -> list[str]:
    """Compares the client area with what README.md says the view shows. With the pointer
    shown: given its image, each of its pixels must cover its block as the view blends it;
    without, the pixels it may cover are left out."""
    lay, f = layout(s, cursor), s.factor
    grid = s.grid and f > 1
    back, ahead = (n * DPI // 96 for n in POINTER_REACH)  # the system's pointer scales too
    drawn = pointer_blocks(image, cursor, lay, f) if s.pointer and image else None
    errors = []

    def pattern(x: int, y: int) -> bytes:
        return pattern_colour(x - s.shift[0], y - s.shift[1])
    for cy in range(s.client[1]):
        for cx in range(s.client[0]):
            got = shot.pixel(client[0] + cx, client[1] + cy)
            sx, sy = lay.x + (cx - 1) // f, lay.y + (cy - 1) // f
            if cx > lay.w or cy > lay.h:
                if "pattern" in describe(got):
                    errors.append(f"client ({cx},{cy}) past the view is {describe(got)}")
                continue
            if s.pointer and drawn is None and cx and cy and -back <= sx - cursor[0] < ahead \
                    and -back <= sy - cursor[1] < ahead:
                continue
            if cx == 0 or cy == 0 or grid and (cx == lay.w or cy == lay.h):
                want = BLACK
            elif grid and (cx % f == 0 or cy % f == 0):
                want = s.grid_colour
            elif drawn and (cx, cy) in drawn:
                want = blend(drawn[cx, cy], pattern(sx, sy))
            else:
                want = pattern(sx, sy)
            if got != want:
                errors.append(f"client ({cx},{cy}) is {describe(got)}, want {describe(want)}")
    return errors


def clipboard(h: "Harness") -> tuple[str, int, int, bytes, list[bytes]]:
    """The X CLIPBOARD selection (Wine's clipboard is one too): its text, its picture as a
    BMP (which GTK makes of its picture, Wine of a CF_DIB) and the formats it offers."""
    def read(target: str) -> bytes:  # only what is offered: Wine leaves the rest unanswered
        return subprocess.run(["xclip", "-selection", "clipboard", "-o", "-t", target],
                              env=h.env(), capture_output=True, timeout=10).stdout
    targets = read("TARGETS").split()
    picture = bmp_pixels(read("image/bmp")) if b"image/bmp" in targets else (0, 0, b"")
    text = read("UTF8_STRING").decode() if b"UTF8_STRING" in targets else ""
    return text, *picture, targets


def bmp_pixels(data: bytes) -> tuple[int, int, bytes]:
    """The width, height and RGB bytes of a 24- or 32-bit BMP."""
    offset, (w, h, _, bits) = struct.unpack("<I", data[10:14])[0], struct.unpack("<iiHH", data[18:30])
    stride, size = (w * bits + 31) // 32 * 4, bits // 8
    rows = [data[offset + stride * y:offset + stride * y + w * size] for y in range(abs(h))]
    rows = rows[::-1] if h > 0 else rows  # bottom-up, unless the height is negative
    return w, abs(h), b"".join(bytes((r[i + 2], r[i + 1], r[i])) for r in rows
                               for i in range(0, len(r), size))


# The cases of the screen-cast portal, and why they cannot run on an X screen.
PORTAL_CASES = {name: "the screen-cast portal is a Wayland desktop's (--target wayland)"
                for name in ("portal_dialog", "portal_refused", "portal_closed")}


class XScreen:
    """What both targets on an X screen share: screenshots of the root window, the pointer
    and the pattern window's moves through the helper."""

    def screenshot(self, h: "Harness") -> bytes:
        return subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"],
                              env=h.env(), capture_output=True, check=True).stdout

    def pointer(self, h: "Harness") -> list[int]:
        return h.ask("state")["cursor"]

    def move_pattern(self, h: "Harness", x: int, y: int) -> None:
        h.ask("move", "vimo_pattern", x, y)
        h.wait_for("the pattern window moved",
                   lambda: h.window("vimo_pattern")["window"][:2] == [x, y])


class Wine(XScreen):
    """vimo.exe and vimo_pattern.exe under Wine, in a copy of a prefix booted once per Wine
    version; the settings in the prefix's AppData with CR LF line ends."""
    name, line_end, start_seconds = "windows", "\r\n", 45
    # The screen read shows Vimo's own window: Wine 8's new prefix says Windows 7, where
    # Vimo does not ask to be left out of captures.
    sees_itself = True
    menu_at = (1000, 400)  # room below for the whole menu at 200%
    skips = {"slow_mouse": "Wine does not slow the X pointer (SPI_SETMOUSESPEED stays in Wine)",
             "settings_odd_paths": "Wine's profile functions write the file, not Vimo's own",
             **PORTAL_CASES}

    def __init__(self):
        self.prefix: Optional[Path] = None

    def env(self) -> dict[str, str]:
        return dict(WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                    WINEPREFIX=str(self.prefix))

    def setup(self, h: "Harness") -> None:
        version = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout
        cache, self.prefix = REPO / "build/e2e-wineprefix", REPO / "build/e2e-wineprefix/staging"
        if not (cache / "wine-version").is_file() or (cache / "wine-version").read_text() != version:
            shutil.rmtree(cache, ignore_errors=True)
            self.prefix.mkdir(parents=True)
            for cmd in (["wineboot", "-i"], ["wineserver", "-w"]):
                subprocess.run(cmd, env=h.env(), capture_output=True, timeout=240, check=True)
            self.prefix.rename(cache / "template")
            (cache / "wine-version").write_text(version)
        self.prefix = Path(tempfile.mkdtemp(prefix="vimo-e2e-")) / "prefix"
        shutil.copytree(cache / "template", self.prefix, symlinks=True)
        if DPI != 96:  # a scaled display, as Windows' display settings make it
            with open(self.prefix / "user.reg", "a", encoding="utf-8") as reg:
                reg.write(f'\n[Control Panel\\\\Desktop]\n"LogPixels"=dword:{DPI:08x}\n')

    def close(self, h: "Harness") -> None:
        if self.prefix:
            subprocess.run(["wineserver", "-k"], env=h.env(), timeout=20)
            shutil.rmtree(self.prefix.parent, ignore_errors=True)

    def command(self, program: Path, *args) -> list:
        return ["wine", program, *args]

    def settings_path(self) -> tuple[Path, str]:
        """The settings file on the host, and its Windows path."""
        user = next(u for u in (self.prefix / "drive_c/users").iterdir() if u.name != "Public")
        return (user / "AppData/Roaming/Vimo/Vimo.ini",
                f"C:\\users\\{user.name}\\AppData\\Roaming\\Vimo\\Vimo.ini")

    def is_menu(self, window: dict) -> bool:
        return window["class"] == "#32768"

    def write_settings(self, data: bytes) -> None:
        path = self.settings_path()[0]
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)

    def end_session(self, h: "Harness") -> None:
        """As a log-off: Wine ends its session (and so every Wine program, the helper too)."""
        subprocess.run(["wineboot", "--end-session"], env=h.env(), capture_output=True,
                       timeout=60)

    def pick_red(self, h: "Harness", dialog: dict) -> None:
        """ChooseColor opens on its basic colours; "Define Custom Colors >>" opens the fields,
        255, 0, 0 go into them (a field reached by its access key has its text selected, so
        typing replaces it) and Return is OK."""
        define = next((c["rect"] for c in dialog["children"] if "Define" in c["text"]), None)
        if define is None:
            raise CaseFailure(f"the colour dialog has no button to define custom colours: {dialog}")
        h.xdotool("mousemove", (define[0] + define[2]) // 2, (define[1] + define[3]) // 2,
                  "click", 1)
        dialog = h.wait_for("the colour dialog's custom part",
                            lambda: grown(h, "Color", dialog["client"], 0, 100))
        h.focus("^Color$", dialog["window"])
        for key, value in (("alt+r", "255"), ("alt+g", "0"), ("alt+b", "0")):
            h.key(key, *value)
        h.screenshot().save(h.out / "colour-dialog.png", dialog["window"])
        h.key("Return")

    def protect(self, h: "Harness", path: Path, native: str) -> None:
        """Another program holds the file open without sharing (running as root, Wine
        ignores a read-only attribute)."""
        if not h.ask("hold", native)["ok"]:
            raise CaseFailure(f"could not hold {native}")

    def unprotect(self, h: "Harness", path: Path) -> None:
        h.ask("release")

    def pointer_image(self, h: "Harness") -> None:
        return None  # GetCursorInfo's pointer cannot be told from the system's own

    def activate(self, h: "Harness") -> None:
        """Vimo active, as a user does: a click on the caption, past the icon at any scale
        (Wine makes a window active only when it is clicked)."""
        h.xdotool("mousemove", HOME[0] + px(1200), HOME[1] + px(150), "click", 1)


class Linux(XScreen):
    """The native vimo under openbox, run as an ordinary user (nobody, when the driver runs
    as root, so that a read-only file holds); the settings in $XDG_CONFIG_HOME with LF
    line ends; the screen's DPI as the Xft.dpi resource."""
    name, line_end, start_seconds = "linux", "\n", 10
    sees_itself = True  # X11 cannot leave a window out of a screen read
    menu_at = (900, 400)  # room below and both sides for GTK's larger menu at 200%
    skips = PORTAL_CASES
    slows = True  # the slow mouse can be chosen once the view is locked

    def __init__(self):
        self.home: Optional[Path] = None
        self.user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] \
            if os.geteuid() == 0 else []

    def env(self) -> dict[str, str]:
        home = str(self.home)
        return dict(HOME=home, XDG_CONFIG_HOME=f"{home}/config", XDG_CACHE_HOME=f"{home}/cache",
                    XDG_RUNTIME_DIR=home, GDK_BACKEND="x11", GTK_CSD="0", NO_AT_BRIDGE="1",
                    GTK_THEME="Adwaita", GSETTINGS_BACKEND="memory", LANG="C.UTF-8", LANGUAGE="",
                    LC_ALL="C.UTF-8")

    def setup(self, h: "Harness") -> None:
        self.home = Path(tempfile.mkdtemp(prefix="vimo-e2e-"))
        self.home.chmod(0o700)
        if self.user:
            os.chown(self.home, 65534, 65534)
        h.spawn(["openbox", "--sm-disable"], "openbox.log")
        h.wait_for("openbox", lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in subprocess.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=h.env(), capture_output=True,
            text=True).stdout, 15)
        if COMPOSITOR:  # as on desktops that composite: the screen is painted by xcompmgr
            h.spawn(["xcompmgr"], "xcompmgr.log")
        subprocess.run(["xset", "m", "1", "1"], env=h.env(), check=True)  # no acceleration
        if DPI != 96:  # a scaled display, as the desktop's settings make it
            subprocess.run(["xrdb", "-merge"], input=f"Xft.dpi: {DPI}\n", text=True,
                           env=h.env(), check=True)

    def close(self, h: "Harness") -> None:
        if self.home:
            shutil.rmtree(self.home, ignore_errors=True)

    def command(self, program: Path, *args) -> list:
        if program.name.startswith("vimo_"):
            return [program, *args]
        if self.user:  # a copy in nobody's home: the build may lie where nobody cannot go
            copy = self.home / program.name
            if not copy.exists():
                shutil.copy2(program, copy)
                copy.chmod(0o755)
            program = copy
        return [*self.user, program, *args]

    def settings_path(self) -> tuple[Path, str]:
        path = self.home / "config/Vimo/Vimo.ini"
        return path, str(path)

    def is_menu(self, window: dict) -> bool:
        return window["override"] and window["type"] in ("popup_menu", "dropdown_menu")

    def write_settings(self, data: bytes) -> None:
        """The settings file, it and its folders Vimo's user's."""
        path = self.settings_path()[0]
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        for p in (path.parent.parent, path.parent, path):
            os.chown(p, *([65534] * 2 if self.user else [os.getuid(), os.getgid()]))

    def end_session(self, h: "Harness") -> None:
        """As a log-off: the session manager sends SIGTERM; Vimo saves and ends."""
        os.kill(h.vimo.pid, signal.SIGTERM)  # setpriv became vimo: the same process
        h.wait_for("end of Vimo after SIGTERM", lambda: h.vimo.poll() is not None, 10)
        if h.vimo.returncode != 0:
            raise CaseFailure(f"Vimo ended with {h.vimo.returncode} after SIGTERM")

    def pick_red(self, h: "Harness", dialog: dict) -> None:
        """GtkColorChooserDialog opens on its palette; its custom "+" (found on the screen: a
        dark cross on a light button) opens the editor, whose hex entry Tab reaches with its
        text selected; Return takes the text, Alt+S is Select."""
        left, top, right, bottom = client = dialog["client"]
        shot = h.screenshot()
        dark = lambda x, y: sum(shot.pixel(x, y)) < 300
        plus = [(x, y) for y in range(top + 5, bottom - 5) for x in range(left + 5, right - 5)
                if all(dark(x + k, y) and dark(x, y + k) for k in range(-4, 5))
                and all(sum(shot.pixel(x + a, y + b)) > 600 for a in (-3, 3) for b in (-3, 3))]
        if not plus:
            shot.save(h.out / "colour-dialog.png", client)
            raise CaseFailure("the colour dialog shows no custom '+' button (colour-dialog.png)")
        h.xdotool("mousemove", *plus[0], "click", 1)
        dialog = h.wait_for("the colour dialog's editor", lambda: grown(h, "Color", client, 1, 50))
        h.focus("^Color$", dialog["window"])
        h.key("Tab")
        h.xdotool("type", "--delay", 30, "#FF0000")
        h.key("Return")
        h.screenshot().save(h.out / "colour-dialog.png", dialog["window"])
        h.key("alt+s")

    def protect(self, h: "Harness", path: Path, native: str) -> None:
        """The file read-only for Vimo's user, in a folder where it could make a new one."""
        path.chmod(0o444)

    def unprotect(self, h: "Harness", path: Path) -> None:
        path.chmod(0o644)

    def pointer_image(self, h: "Harness") -> dict:
        return h.ask("cursor")["image"]

    def activate(self, h: "Harness") -> None:
        """Vimo active, as a user does: a click on its title bar in openbox's (or Mutter's)
        frame."""
        win = h.vimo_window()
        h.xdotool("mousemove", win["window"][0] + px(1200),
                  (win["window"][1] + win["client"][1]) // 2, "click", 1)


# Keysyms of the key names the cases give xdotool (a single character is its own keysym).
KEYSYMS = {"Return": 0xFF0D, "Escape": 0xFF1B, "Tab": 0xFF09, "space": 0x20, "Home": 0xFF50,
           "Left": 0xFF51, "Up": 0xFF52, "Right": 0xFF53, "Down": 0xFF54, "ctrl": 0xFFE3,
           "alt": 0xFFE9, "shift": 0xFFE1}
MONITOR = "MetaVendor:MetaVirtualMonitor:0x00"  # Mutter's virtual monitor, as the portal names it
STORE = "org.freedesktop.impl.portal.PermissionStore"


class Wayland(Linux):
    """The native vimo on a headless GNOME Wayland session the driver starts (D-Bus, PipeWire,
    WirePlumber, Mutter with Xwayland), as the session's user (it needs the session's bus),
    seeing the screen through the screen-cast portal, whose permission the driver stores.
    Its windows are X11 ones, listed by vimo_pattern_x11 (without a window of its own); the
    pattern is a Wayland window (pattern_wayland.py); input goes through Mutter's
    RemoteDesktop (wl_driver.py), and screenshots, the pointer's place and its image come
    from Mutter's screen cast (vimo_wl_shot)."""
    name, start_seconds, slows = "wayland", 15, False
    skips: dict[str, str] = {}

    def __init__(self):
        super().__init__()
        self.user, self.session, self.daemons = [], {}, []
        self.driver = self.shooter = self.pattern = None
        self.cast: dict = {}  # the pointer as the last screenshot saw it

    def env(self) -> dict[str, str]:
        home = self.home
        return dict(super().env(), XDG_RUNTIME_DIR=f"{home}/run", XDG_DATA_HOME=f"{home}/data",
                    XDG_STATE_HOME=f"{home}/state", XDG_CURRENT_DESKTOP="GNOME",
                    XDG_SESSION_TYPE="wayland", WAYLAND_DISPLAY="vimo-wl", **self.session)

    def setup(self, h: "Harness") -> None:
        self.home = Path(tempfile.mkdtemp(prefix="vimo-wl-"))
        for sub in ("run", "config", "data", "state", "cache"):
            (self.home / sub).mkdir(mode=0o700)
        run, x11 = self.home / "run", Path("/tmp/.X11-unix")
        x11.mkdir(mode=0o1777, exist_ok=True)  # Xwayland's sockets: everyone's, sticky
        if x11.stat().st_mode & 0o7777 != 0o1777 and x11.stat().st_uid == os.getuid():
            x11.chmod(0o1777)

        def daemon(cmd: list, log: str, pipe: bool = False) -> subprocess.Popen:
            # As a desktop starts them: GTK's programs the bus starts (the portal's dialog)
            # choose Wayland and their own decorations.
            proc = h.spawn(cmd, log, pipe, GDK_BACKEND=None, GTK_CSD=None, GTK_THEME=None,
                           GTK_A11Y="none")
            h.procs.remove(proc)  # ended in close(), with their process groups
            self.daemons.append(proc)
            return proc
        bus = daemon(["dbus-daemon", "--session", f"--address=unix:path={run}/bus", "--nofork",
                      "--print-address=1"], "dbus.log", pipe=True)
        self.session["DBUS_SESSION_BUS_ADDRESS"] = h.tell(bus, "", 15)
        daemon(["pipewire"], "pipewire.log")
        h.wait_for("PipeWire", lambda: (run / "pipewire-0").exists(), 15)
        daemon(["wireplumber"], "wireplumber.log")
        h.wait_for("WirePlumber", lambda: '"default"' in subprocess.run(
            ["pw-cli", "ls", "Metadata"], env=h.env(), capture_output=True, text=True).stdout, 15)
        daemon(["mutter", "--headless", "--wayland", "--virtual-monitor", f"{W}x{H}",
                "--wayland-display=vimo-wl"], "mutter.log")
        h.display = h.wait_for("Xwayland's display", lambda: next(iter(re.findall(
            r"Using public X11 display (:\d+)", (h.out / "mutter.log").read_text())), None), 20)
        self.session["XAUTHORITY"] = str(h.wait_for("Xwayland's authority", lambda: next(
            run.glob(".mutter-Xwaylandauth.*"), None), 15))
        h.wait_for("Mutter's screen cast", lambda: subprocess.run(
            ["gdbus", "introspect", "--session", "--dest", "org.gnome.Mutter.ScreenCast",
             "--object-path", "/org/gnome/Mutter/ScreenCast"], env=h.env(),
            capture_output=True).returncode == 0, 20)
        subprocess.run(["dbus-update-activation-environment", "DISPLAY", "XAUTHORITY",
                        "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "XDG_CURRENT_DESKTOP",
                        "XDG_CONFIG_HOME", "XDG_DATA_HOME", "GSETTINGS_BACKEND"],
                       env=h.env(), check=True)
        self.allow(h)
        self.driver = h.spawn(["/usr/bin/python3", REPO / "tests/e2e/wl_driver.py"],
                              "wl_driver.log", pipe=True)
        node = json.loads(h.tell(self.driver, "", 20))["node"]
        self.shooter = h.spawn([h.pattern_exe.parent / "vimo_wl_shot", node], "wl_shot.log",
                               pipe=True)
        self.pattern = h.spawn(["/usr/bin/python3", REPO / "tests/e2e/pattern_wayland.py", *PLACE],
                               "pattern_wayland.log", pipe=True, GDK_BACKEND="wayland")
        if '"shown": true' not in h.tell(self.pattern, "", 30):
            raise RuntimeError("the pattern window did not come up")
        self.move_pattern(h, *PATTERN[:2])

    def close(self, h: "Harness") -> None:
        """The daemons' process groups (with the portals the bus started and Mutter's
        Xwayland) ended gently, then for good."""
        for sig in (signal.SIGTERM, signal.SIGKILL):
            for proc in reversed(self.daemons):
                with contextlib.suppress(ProcessLookupError):
                    os.killpg(proc.pid, sig)
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline and any(p.poll() is None for p in self.daemons):
                time.sleep(0.05)
        super().close(h)

    def protect(self, h: "Harness", path: Path, native: str) -> None:
        """Run as root, Vimo writes a read-only file: the file is made immutable instead (which
        also keeps a new file from taking its name), the folder still Vimo's to write."""
        if os.geteuid() != 0:
            return super().protect(h, path, native)
        subprocess.run(["chattr", "+i", path], check=True)

    def unprotect(self, h: "Harness", path: Path) -> None:
        if os.geteuid() == 0:
            subprocess.run(["chattr", "-i", path], check=True)

    def store(self, h: "Harness", method: str, *args) -> str:
        """A call of the portal's permission store on its table "screencast"."""
        return subprocess.run(["gdbus", "call", "--session", "--dest", STORE, "--object-path",
                               "/" + STORE.replace(".", "/"), "--method", f"{STORE}.{method}",
                               "screencast", *args], env=h.env(), capture_output=True,
                              text=True, timeout=20).stdout

    def token_path(self) -> Path:
        return self.home / "state/vimo/screencast-token"

    def allow(self, h: "Harness") -> None:
        """The portal's answer stored as a "Remember this selection" stores it: the monitor,
        for programs outside a sandbox (app id ""), under a new restore token, which goes
        where Vimo keeps it."""
        token, now = str(uuid.uuid4()), int(time.time() * 1e6)
        self.store(h, "Set", "true", token, "{'': ['yes']}",
                   f"<('GNOME', uint32 1, <(int64 {now}, int64 {now}, "
                   f"[(uint32 0, uint32 1, <'{MONITOR}'>)])>)>")
        if f"'{MONITOR}'" not in self.store(h, "Lookup", token):
            raise RuntimeError("the portal's permission store did not take the permission")
        self.token_path().parent.mkdir(parents=True, exist_ok=True)
        self.token_path().write_text(token + "\n")

    def forget(self, h: "Harness") -> None:
        """No stored answer and no token: the portal must ask."""
        for token in re.findall(r"'([^']+)'", self.store(h, "List")):
            self.store(h, "Delete", token)
        self.token_path().unlink(missing_ok=True)

    def end_portal(self, h: "Harness") -> None:
        """Ends the desktop's portal (xdg-desktop-portal-gnome, in the bus's process group) and
        has the bus start it again."""
        if subprocess.run(["pkill", "-TERM", "-g", str(self.daemons[0].pid), "-f",
                           "xdg-desktop-portal-gnome"]).returncode != 0:
            raise CaseFailure("no xdg-desktop-portal-gnome runs in the session")
        # Back (started by the bus) before the next start asks for it: until it has its
        # interfaces on the bus, a request fails.
        h.wait_for("the portal started again", lambda: "impl.portal.ScreenCast" in subprocess.run(
            ["gdbus", "introspect", "--session", "--dest",
             "org.freedesktop.impl.portal.desktop.gnome", "--object-path",
             "/org/freedesktop/portal/desktop"], env=h.env(), capture_output=True,
            text=True).stdout, 15)

    def drive(self, h: "Harness", *words) -> None:
        if (answer := h.tell(self.driver, " ".join(map(str, words)))) != "ok":
            raise RuntimeError(f"wl_driver {words}: {answer}")

    def xdotool(self, h: "Harness", *args) -> str:
        """The xdotool commands the cases give, as RemoteDesktop's input."""
        words = [str(a) for a in args if a != "--"]
        while words:
            cmd = words.pop(0)
            if cmd in ("key", "type"):
                delay = int(words[1]) / 1000 if words[0] == "--delay" else 0.012
                for item in words[2:] if words[0] == "--delay" else words:
                    for combo in [[ord(c)] for c in item] if cmd == "type" else \
                            [[KEYSYMS[k] if len(k) > 1 else ord(k) for k in item.split("+")]]:
                        for sym, down in [(k, 1) for k in combo] + [(k, 0) for k in combo[::-1]]:
                            self.drive(h, "key", sym, down)
                        time.sleep(delay)
                return ""
            if cmd in ("mousemove", "mousemove_relative"):
                self.drive(h, "move" if cmd == "mousemove" else "rel", words.pop(0), words.pop(0))
            elif cmd == "click" and words[0] in ("4", "5"):  # a wheel notch
                self.drive(h, "wheel", -1 if words.pop(0) == "4" else 1)
            elif cmd == "click":
                code = {"1": 272, "2": 274, "3": 273}[words.pop(0)]
                for down in (1, 0):
                    self.drive(h, "button", code, down)
            else:
                raise RuntimeError(f"xdotool {cmd} has no RemoteDesktop form")
        return ""

    def screenshot(self, h: "Harness") -> bytes:
        path = self.home / "shot.rgb"
        self.cast = json.loads(h.tell(self.shooter, f"shot {path}"))
        if not self.cast["ok"]:
            raise RuntimeError(f"no screenshot from the screen cast: {self.cast}")
        return path.read_bytes()

    def pointer(self, h: "Harness") -> list[int]:
        return json.loads(h.tell(self.shooter, "pointer"))["cursor"]

    def pointer_image(self, h: "Harness") -> dict:
        return self.cast["image"]  # the one the last screenshot was taken with

    def move_pattern(self, h: "Harness", x: int, y: int) -> None:
        """Draws the pattern at (x, y) and waits until the screen shows it there."""
        if '"ok": true' not in h.tell(self.pattern, f"move {x} {y}"):
            raise RuntimeError(f"the pattern could not move to {x}, {y}")
        h.wait_for(f"the pattern at {x}, {y}", lambda: (lambda shot: all(
            shot.pixel(x + a, y + b) == pattern_colour(PATTERN[0] + a, PATTERN[1] + b)
            for a, b in ((0, 0), (100, 100), (200, 50))) and
            (x == 0 or shot.pixel(x - 1, y) == BLACK))(h.screenshot()), 15)


class Harness:
    def __init__(self, args: argparse.Namespace):
        self.out, self.exe, self.pattern_exe = (Path(p).resolve() for p in (args.out, args.exe,
                                                                             args.pattern))
        self.target = {"linux": Linux, "wayland": Wayland, "windows": Wine}[args.target]()
        self.display, self.xvfb, self.helper, self.vimo = "", None, None, None
        self.procs: list[subprocess.Popen] = []
        self.state = ViewState()
        self.shot: Optional[Shot] = None
        self.started = 0.0                           # when the Vimo window came up
        self.misplaced = ""                          # where, if not centred
        self.captions: list[tuple[float, str]] = []  # its captions since, as X saw them

    def env(self) -> dict[str, str]:
        env = dict(os.environ, DISPLAY=self.display, **self.target.env())
        return env if self.display else {k: v for k, v in env.items() if k != "DISPLAY"}

    def spawn(self, cmd: list, log: str, pipe: bool = False,
              **env: Optional[str]) -> subprocess.Popen:
        """Starts a program with the run's environment (changed by `env`, None removing a
        variable), its stderr (and stdout, without `pipe`) added to the log."""
        out = open(self.out / log, "ab")  # each start of Vimo adds to its log
        out.write(f"== {' '.join(map(str, cmd))}\n".encode())
        out.flush()
        env = {k: v for k, v in dict(self.env(), **env).items() if v is not None}
        proc = subprocess.Popen(list(map(str, cmd)), env=env, stderr=out,
                                stdin=subprocess.PIPE if pipe else subprocess.DEVNULL,
                                stdout=subprocess.PIPE if pipe else out, start_new_session=True)
        self.procs.append(proc)
        return proc

    def tell(self, proc: subprocess.Popen, line: str, timeout: float = 20) -> str:
        """Gives a helper a line (none: only reads) and returns its answer's line."""
        if line:
            proc.stdin.write((line + "\n").encode())
            proc.stdin.flush()
        if not select.select([proc.stdout], [], [], timeout)[0]:
            raise RuntimeError(f"{proc.args[0]} did not answer {line!r}")
        if not (answer := proc.stdout.readline().decode()):
            raise RuntimeError(f"{proc.args[0]} ended ({proc.wait()}) before answering {line!r}")
        return answer.strip()

    def setup(self) -> None:
        """Xvfb, what the target needs (a Wine prefix, a window manager, a Wayland session),
        the pattern window (on Wayland, the helper lists windows only)."""
        place = (0, 0, 0, 0) if self.target.name == "wayland" else PLACE
        if self.target.name != "wayland":
            read_fd, write_fd = os.pipe()
            self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                          f"{W}x{H}x24", "-nolisten", "tcp"],
                                         pass_fds=(write_fd,),
                                         stderr=open(self.out / "xvfb.log", "wb"))
            os.close(write_fd)
            if not select.select([read_fd], [], [], 15)[0]:
                raise RuntimeError("Xvfb did not report its display")
            self.display = ":" + os.read(read_fd, 16).decode().strip()
        self.target.setup(self)
        self.helper = self.spawn(self.target.command(self.pattern_exe, *place), "pattern.log",
                                 pipe=True)
        if '"shown": true' not in self.tell(self.helper, "", 60):
            raise RuntimeError("the pattern helper did not come up")

    def close(self) -> None:
        for proc in self.procs:
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGKILL)
        self.target.close(self)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()

    # -- looking and touching --

    def ask(self, *args) -> dict:
        """Has the helper run a command; returns the pointer and the windows after it."""
        return json.loads(self.tell(self.helper, "\t".join(map(str, args))))

    def window(self, title: str = "Vimo (") -> Optional[dict]:
        return next((w for w in self.ask("state")["windows"] if w["title"].startswith(title)), None)

    def vimo_window(self) -> dict:
        win = self.window()
        if win is None:
            raise CaseFailure(f"no Vimo window (Vimo's exit code {self.vimo.poll()})")
        return win

    def menus(self) -> list[list[int]]:
        return [w["window"] for w in self.ask("state")["windows"] if self.target.is_menu(w)]

    def xdotool(self, *args, check: bool = True) -> str:
        if self.target.name == "wayland" and args[0] not in ("search", "getwindowgeometry",
                                                             "windowactivate"):
            return self.target.xdotool(self, *args)  # input only through the compositor
        return subprocess.run(["xdotool", *map(str, args)], env=self.env(), capture_output=True,
                              text=True, timeout=15, check=check).stdout

    def x_window(self, title: str, rect: list[int]) -> str:
        """The X window of that title whose top-left lies in the Win32 rect."""
        for xid in self.xdotool("search", "--name", title, check=False).split():
            xy = dict(v.split("=") for v in self.xdotool("getwindowgeometry", "--shell", xid).split())
            if rect[0] <= int(xy["X"]) < rect[2] and rect[1] <= int(xy["Y"]) < rect[3]:
                return xid
        raise CaseFailure(f"no X window {title!r} at {rect}")

    def focus(self, title: str = r"^Vimo \(", rect: Optional[list[int]] = None) -> None:
        """Gives an X window the keyboard focus, as a window manager would (or, with one,
        has it make the window active)."""
        xid = self.x_window(title, rect or self.vimo_window()["window"])
        self.xdotool("windowfocus" if self.target.name == "windows" else "windowactivate", "--sync",
                     xid)

    def key(self, *keys: str) -> None:
        self.xdotool("key", "--delay", 30, *keys)

    def press(self, *keys: str) -> None:
        """Types keys into the Vimo window, wherever the pointer is."""
        self.focus()
        self.key(*keys)

    def point_at(self, x: int, y: int) -> None:
        self.xdotool("mousemove", x, y)
        self.wait_for(f"pointer at {x},{y}", lambda: self.target.pointer(self) == [x, y])
        if self.target.name != "windows":
            # xdotool warps the pointer, which makes no raw motion: a resting Vimo asks
            # where it is every 100 ms only. A key pressed sooner (space locks the area)
            # would act on the place before.
            time.sleep(0.15)

    def screenshot(self) -> Shot:
        self.shot = Shot(self.target.screenshot(self))
        return self.shot

    def wait_for(self, what: str, test: Callable[[], object], timeout: float = TIMEOUT):
        deadline, error = time.monotonic() + timeout, ""
        while True:
            try:
                value = test()
                if value:
                    return value
            except CaseFailure as exc:
                error = f": {exc}"
            if time.monotonic() > deadline:
                raise CaseFailure(f"no {what} within {timeout:.0f} s{error}")
            time.sleep(0.05)

    def expect_view(self, cursor: tuple[int, int], picture: Optional[str] = None) -> None:
        """Waits for the client area's size and every pixel the options give for the pointer."""
        def matches() -> bool:
            client = self.vimo_window()["client"]
            if (client[2] - client[0], client[3] - client[1]) != self.state.client:
                raise CaseFailure(f"the client area is {client}")
            # Under X the pointer's image is known (asked each time: X changes it a moment
            # after the pointer has moved onto another window), and the view must show it;
            # on Wayland the screen cast tells it with each screenshot.
            shot = self.screenshot()
            errors = view_errors(shot, client, self.state, cursor, self.target.pointer_image(self))
            if errors:
                raise CaseFailure(f"{len(errors)} pixels differ: " + "; ".join(errors[:3]))
            return True
        self.wait_for(f"view for the pointer at {cursor} with {self.state}", matches)
        if picture:
            self.shot.save(self.out / picture, self.vimo_window()["window"], 8)

    def look(self, x: int, y: int, picture: Optional[str] = None) -> None:
        self.point_at(x, y)
        self.expect_view((x, y), picture)

    def toggle_lock(self) -> None:
        self.press("space")
        self.state = replace(self.state, locked=not self.state.locked)

    # -- the menu and the options --

    def choose(self, item: str, sub: int = 0) -> None:
        """Right-clicks in the client area, where the menu must open, and chooses an item."""
        left, top, right, bottom = self.vimo_window()["client"]
        at = ((left + right) // 2, top + (bottom - top) // 3)
        self.point_at(*at)
        self.focus()  # so that the keys which navigate the menu reach it
        self.xdotool("click", 3)
        menu = self.wait_for("popup menu", self.menus)[0]
        if menu[1] != at[1] or not menu[0] <= at[0] <= menu[2]:
            raise CaseFailure(f"the menu {menu} does not open at the pointer {at}")
        self.navigate(item, sub, click=self.target.name != "windows")
        if self.target.name != "windows":
            self.point_at(*at)  # back where the menu was opened, as after a choice by keys

    def navigate(self, item: str, sub: int = 0, click: bool = False) -> None:
        """Chooses an item (in its submenu: the sub-th one) of the open menu, with Return or
        with a click on it (GTK's menus, when the pointer may move). Wine's menus
        select disabled items too, GTK's skip them: Measure and the slow mouse while the view
        is not locked (the slow mouse always on Wayland)."""
        skipped = () if self.target.name == "windows" else (MENU[6], MENU[7]) if \
            not self.state.locked else () if self.target.slows else (MENU[7],)
        keys = ["Down"] * (len([i for i in MENU[:MENU.index(item)] if i not in skipped]) + 1)
        menu = self.menus()[0]
        if sub:
            self.key(*keys, "Right")
            menu = self.wait_for("submenu", lambda: next(
                (m for m in self.menus() if m != menu), None))
            keys = ["Down"] * (sub - 1)
        if click:
            # The keys only point the item out; a real click on it chooses it.
            self.key(*keys)
            self.click_highlighted(menu)
        else:
            self.key(*keys, "Return")
        self.wait_for("closed menu", lambda: not self.menus())

    def click_highlighted(self, menu: list[int]) -> None:
        """Clicks the menu's highlighted item: the band of rows, right of any text, that
        is not the menu's background (a separator is a line of one or two rows)."""
        left, top, right, bottom = menu
        x = right - 6

        def band() -> Optional[tuple[int, int]]:
            shot = self.screenshot()
            back = shot.pixel(x, top + 2)
            rows = [y for y in range(top + 2, bottom - 2) if shot.pixel(x, y) != back]
            runs, start = [], None
            for a, b in zip([None] + rows, rows + [None]):
                if start is None:
                    start = b
                elif b is None or b != a + 1:
                    runs.append((start, a))
                    start = b
            runs = [r for r in runs if r[1] - r[0] >= 8]
            return runs[0] if len(runs) == 1 else None
        first, last = self.wait_for(f"one highlighted item in the menu {menu}", band)
        # After keys, GTK takes a click on an item only once it has seen the pointer move
        # over the menu: the pointer moves about on the item until a click closes it.
        self.xdotool("mousemove", (left + right) // 2, (first + last) // 2)
        for step in (1, -1, 1, -1):
            time.sleep(0.1)
            self.xdotool("mousemove_relative", "--", step, 0)
            time.sleep(0.1)
            self.xdotool("click", 1)
            try:
                self.wait_for("closed menu", lambda: menu not in self.menus(), 1)
                return
            except CaseFailure:
                pass

    def set(self, **changes) -> None:
        """Changes options in the menu (the client size through the helper); waits for the
        caption and the topmost flag."""
        for name, value in changes.items():
            if name == "client":
                self.ask("size", "Vimo (", *value)
            else:
                self.choose({"factor": "Magnification", "grid": "Show grid",
                             "pointer": "Show mouse pointer", "topmost": "Always on top",
                             "centered": "Centered to mouse" if value else "Top left of mouse"}
                            [name], value if name == "factor" else 0)
        s = self.state = replace(self.state, **changes)
        captions = (f"Vimo ({s.factor}x)", f"Vimo ({s.factor}x){HINT}")
        self.wait_for(f"caption {captions[0]!r}, {'' if s.topmost else 'not '}on top", lambda: (
            lambda w: w["title"] in captions and w["topmost"] == s.topmost)(self.vimo_window()))

    def ensure(self, **want) -> None:
        self.set(**{k: v for k, v in want.items() if getattr(self.state, k) != v})

    # -- Vimo --

    def settings_path(self) -> tuple[Path, str]:
        """The settings file on the host, and its path as Vimo names it."""
        return self.target.settings_path()

    def stop_vimo(self) -> None:
        if self.vimo and self.vimo.poll() is None:
            os.killpg(self.vimo.pid, signal.SIGKILL)
            self.wait_for("end of the old Vimo window", lambda: not self.window(), 10)

    def start_vimo(self, fresh: bool = True, state: Optional[ViewState] = None,
                   at: Optional[list[int]] = None,
                   answer: Callable[[], None] = lambda: None) -> None:
        """(Re)starts Vimo, fresh or with the settings file there is, has `answer` answer what
        asks before the window comes (the portal's dialog), waits for its window,
        checks that it came up at `at` (a failure) or centred (kept in self.misplaced for the
        views case to report, so that the other cases still run) and moves it HOME."""
        self.stop_vimo()
        if fresh:
            shutil.rmtree(self.settings_path()[0].parent, ignore_errors=True)
        self.state = state or fresh_state()

        def place() -> list[int]:
            r = self.vimo_window()["window"]
            # Centred in whole twips, then in pixels: halves round to the even neighbour.
            tpp = 1440 / DPI
            return at or [round(round((screen - size) * tpp / 2) / tpp)
                          for screen, size in ((W, r[2] - r[0]), (H, r[3] - r[1]))]
        # A loaded machine has once needed more than a minute for the first start in a
        # new prefix: a start that shows nothing is tried once more, and said so.
        for attempt in (1, 2):
            self.vimo = self.spawn(self.target.command(self.exe), "vimo.log")
            try:
                answer()
                self.wait_for("Vimo window", lambda: (
                    lambda w: w and w["window"][2] > w["window"][0])(self.window()),
                    self.target.start_seconds)
                break
            except CaseFailure as exc:
                code = self.vimo.poll()
                failure = (f"{exc}: {self.window()}; Vimo " +
                           ("still running" if code is None else f"ended with {code}"))
                if attempt == 2:
                    raise CaseFailure(failure) from None
                print(f"  start again: {failure}", flush=True)
                if code is None:
                    os.killpg(self.vimo.pid, signal.SIGKILL)
        self.started = time.monotonic()
        try:
            self.wait_for(f"Vimo window at {at or 'the centre'}",
                          lambda: self.vimo_window()["window"][:2] == place(), 3)
            self.misplaced = ""
        except CaseFailure:
            self.misplaced = (f"the Vimo window came up at {self.vimo_window()['window']}, "
                              f"not at {place()} ({'where it was' if at else 'centred'})")
            if at:
                raise CaseFailure(self.misplaced) from None
        xid = self.wait_for("X window", lambda: self.x_window(r"^Vimo \(",
                                                              self.vimo_window()["window"]))
        spy = self.spawn(["xprop", "-spy", "-id", xid, "WM_NAME"], "xprop.log", pipe=True)
        self.captions = captions = []
        threading.Thread(target=lambda: captions.extend(
            (time.monotonic(), line.decode().split(" = ")[-1].strip().strip('"'))
            for line in spy.stdout), daemon=True).start()
        self.ask("move", "Vimo (", *HOME)
        if self.vimo_window()["window"][:2] != list(HOME):
            raise CaseFailure(f"could not move the Vimo window to {HOME}")



# ---- the cases -------------------------------------------------------------------------

# Each row: options changed through the menu (or the client size), the pointer positions
# the view is checked at, the picture saved. The client sizes leave parts of a block over.
VIEWS = [
    ({}, (P1, P2, CORNER), "view-3x.png"),
    ({"factor": 5}, (P1, P2), "view-5x.png"),
    ({"grid": True}, (P1, P2), "view-5x-grid.png"),
    ({"grid": False, "centered": False}, (P1, P2), "view-5x-top-left.png"),
    ({"centered": True, "pointer": False}, (P1,), "view-5x-no-pointer.png"),
    ({"pointer": True, "topmost": False}, (P1,), "view-5x-pointer.png"),
    ({"topmost": True, "factor": 10, "grid": True}, (P2,), "view-10x-grid.png"),
    ({"factor": 5, "grid": False, "client": (263, 259)}, (P1,), "view-5x-grown.png"),
    ({"client": (227, 216)}, (P1,), "view-5x-shrunk.png"),
]


def case_views(h: Harness) -> None:
    """The caption at start; each row of VIEWS: caption, topmost, client size, every pixel."""
    if h.vimo_window()["title"] != f"Vimo (3x){HINT}":
        raise CaseFailure(f"the caption at start is {h.vimo_window()['title']!r}")
    for changes, points, picture in VIEWS:
        h.set(**changes)
        for at in points:
            h.look(*at, picture if at == points[0] else None)
        if changes.get("pointer"):  # and a pointer is drawn where it points
            lay, f, (left, top) = layout(h.state, P1), h.state.factor, h.vimo_window()["client"][:2]
            block = [(left + 1 + f * (P1[0] - lay.x) + a, top + 1 + f * (P1[1] - lay.y) + b)
                     for a in range(f) for b in range(f)]
            h.wait_for("pointer drawn on the pointer's pixel", lambda: (lambda shot: any(
                shot.pixel(*p) != pattern_colour(*P1) for p in block))(h.screenshot()))
    if h.misplaced:
        raise CaseFailure(h.misplaced)


def case_still_screen(h: Harness) -> None:
    """The pointer rests while the window under it moves (the screen changes under a still
    view), then only the pointer moves, by a pixel: the view follows each pixel for pixel.
    Then "f" freezes the screen and the window moves again: the view still shows it pixel
    for pixel where it was, under the live pointer; "f" again, and it shows it where it is."""
    h.ensure(factor=3, pointer=True, grid=False)
    h.look(*P1)
    try:
        for shift in ((3, 2), (0, 0)):
            h.target.move_pattern(h, PATTERN[0] + shift[0], PATTERN[1] + shift[1])
            h.state = replace(h.state, shift=shift)
            h.expect_view(P1, "still-moved.png" if shift[0] else None)
            h.look(P1[0] + 1, P1[1])
            h.look(*P1)
        h.target.activate(h)  # the keys reach Vimo
        h.press("f")
        h.wait_for("caption 'frozen'", lambda: h.vimo_window()["title"] == "Vimo (3x)  frozen")
        h.target.move_pattern(h, PATTERN[0] + 40, PATTERN[1] + 30)
        # The view follows the pointer over the still picture.
        h.look(P1[0] + 7, P1[1] - 5, "frozen.png")
        h.press("f")
        h.wait_for("caption without 'frozen'", lambda: "frozen" not in h.vimo_window()["title"])
        h.state = replace(h.state, shift=(40, 30))
        h.expect_view((P1[0] + 7, P1[1] - 5))
    finally:
        h.target.move_pattern(h, *PATTERN[:2])
        h.state = replace(h.state, shift=(0, 0))


def case_keys(h: Harness) -> None:
    """Space (un)locks; "m" sticks, Escape frees, "M" does nothing; an arrow opens the menu."""
    h.ensure(factor=3, pointer=False)
    h.look(*P1)
    h.toggle_lock()
    h.point_at(*P2)
    time.sleep(0.3)  # a score of ticks, for what must not happen
    h.expect_view(P1, "view-3x-locked.png")
    h.toggle_lock()
    h.expect_view(P2)
    h.point_at(300, 300)
    h.press("M", "m")  # were "M" to stick, "m" would free the window again
    stuck = None
    for x, y in ((300, 300), (420, 350)):
        h.point_at(x, y)
        # 24, 32 beside the pointer; where the screen read shows Vimo's own window, also
        # clear of the captured area, right of it.
        lay = layout(h.state, (x, y))
        stuck = [max(x + 24, lay.x + lay.w // h.state.factor) if h.target.sees_itself
                 else x + 24, y + 32]
        h.wait_for(f"window at {stuck}", lambda: h.vimo_window()["window"][:2] == stuck)
    h.press("Escape")
    h.point_at(500, 420)
    time.sleep(0.3)  # a score of ticks, for what must not happen
    if h.vimo_window()["window"][:2] != stuck:
        raise CaseFailure(f"Escape did not free the window: {h.vimo_window()['window']}")
    h.ask("move", "Vimo (", *HOME)
    at = h.target.menu_at
    h.target.activate(h)
    h.point_at(*at)
    h.press("Left")
    menu = h.wait_for("menu", h.menus)[0]
    if menu[1] != at[1] or abs((menu[0] + menu[2]) // 2 - at[0]) > 1:
        raise CaseFailure(f"the menu {menu} does not open centred below the pointer {at}")
    shot = h.screenshot()
    colours = [shot.pixel(x, y) for x in range(menu[0] + 2, menu[2] - 2)
               for y in range(menu[1] + 2, menu[3] - 2)]
    main = max(set(colours), key=colours.count)
    if main == BLACK or "pattern" in describe(main) or colours.count(main) < 0.6 * len(colours) \
            or not any(sum(c) < 200 for c in colours):
        raise CaseFailure(f"the menu does not look painted (main colour {describe(main)})")
    shot.save(h.out / f"menu-{DPI}.png", menu, 8)
    h.key("Escape")
    h.wait_for("closed menu", lambda: not h.menus())
    h.press("Home")
    time.sleep(0.3)  # a score of ticks, for what must not happen
    if h.menus():
        raise CaseFailure("Home opened the menu")


def case_measure(h: Harness) -> None:
    """Lock and Measure: the read-out band, the marker lines; space unlocks."""
    h.ensure(factor=3, pointer=False)
    h.look(*P1)
    h.press("Down")  # the area locks around P1
    h.wait_for("menu", h.menus)
    h.navigate("Lock (press 'space' to toggle)")
    h.state = replace(h.state, locked=True)
    left, top, right, bottom = client = h.vimo_window()["client"]
    h.choose("Measure")
    h.wait_for("band", lambda: h.vimo_window()["client"] == [left, top, right, bottom + 24])
    h.point_at(left + 31, top + 62)  # column 10, row 20
    h.xdotool("click", 1)
    h.point_at(left + 100, top + 40)  # column 33, row 13
    lay, cols, rows = layout(h.state, P1), (32, 101), (62, 41)

    def marked() -> bool:
        shot = h.screenshot()
        for x, y in [(x, y) for x in cols for y in range(1, lay.h + 1)] + \
                    [(x, y) for y in rows for x in range(1, lay.w + 1)]:
            want = pattern_colour(lay.x + (x - 1) // 3, lay.y + (y - 1) // 3)
            if (x in cols) != (y in rows):  # one line inverts, two cancel out
                want = bytes(255 - v for v in want)
            if shot.pixel(left + x, top + y) != want:
                return False
        # Each line of the read-out whole in its half of the band: text as tall as the
        # digits, and a first and last row free of it (a covering label or a font too
        # tall would cut it).
        def dark_rows(half: int) -> list[int]:
            return [y for y in range(12) if any(sum(shot.pixel(x, bottom + half + y)) < 200
                                                for x in range(left, right))]
        return all((lambda rows: rows and rows[0] > 0 and rows[-1] < 11 and
                    rows[-1] - rows[0] >= 6)(dark_rows(half))
                   for half in (0, 12))
    h.wait_for("marker lines and both lines of the read-out", marked)
    h.shot.save(h.out / f"measure-{DPI}.png", h.vimo_window()["window"], 8)
    h.toggle_lock()
    h.wait_for("end of the band", lambda: h.vimo_window()["client"] == client)
    h.look(*P2)


def design_rect(left: int, top: int, width: int, height: int) -> tuple[int, int, int, int]:
    return px(left), px(top), px(left + width), px(top + height)


def case_about(h: Harness) -> None:
    """About ...: its window, texts and link, the copyright line whole on one line with room
    to spare; Escape closes it, and so does a click on its Close button."""
    about_client = (px(3525), px(3180))
    version, copyright_ = design_rect(360, 480, 2535, 375), design_rect(360, 1080, 3135, 375)
    link = design_rect(360, 1680, 3135, 375)
    h.choose("About ...")
    info = h.wait_for("About window", lambda: h.window("About Vimo"))
    left, top, right, bottom = info["client"]
    if (info["title"], info["topmost"], (right - left, bottom - top)) != \
            ("About Vimo", True, about_client):
        raise CaseFailure(f"not a topmost 'About Vimo' of {about_client} pixels: {info}")
    shot = h.screenshot()

    def count(rect: tuple[int, ...], test: Callable[[bytes], bool]) -> int:
        return sum(1 for y in range(top + rect[1], top + rect[3])
                   for x in range(left + rect[0], left + rect[2]) if test(shot.pixel(x, y)))
    if count((0, 0, *about_client), lambda c: c == b"\xff\xff\xff") < 0.6 * about_client[0] * about_client[1] \
            or any(count(rect, lambda c: sum(c) < 150) < 30 for rect in (version, copyright_)) \
            or count(link, lambda c: c == b"\0\0\xff") < 30:
        raise CaseFailure("the About window does not show black texts and a blue link on white")
    dark = [(x, y) for y in range(top + copyright_[1], top + copyright_[3])
            for x in range(left + copyright_[0], left + copyright_[2]) if sum(shot.pixel(x, y)) < 150]
    em = 9.75 * DPI / 72  # the font's size in pixels
    used = (max(x for x, _ in dark) - min(x for x, _ in dark) + 1,
            max(y for _, y in dark) - min(y for _, y in dark) + 1)
    if used[0] > 0.85 * (copyright_[2] - copyright_[0]) or used[1] > em:
        raise CaseFailure(f"the copyright line takes {used} of its label's "
                          f"{copyright_[2] - copyright_[0]} pixels: not one line with room to spare")
    shot.save(h.out / f"about-{DPI}.png", info["client"])  # without a window manager: no frame
    h.focus("^About Vimo$", info["window"])
    h.key("Escape")
    h.wait_for("end of the About window", lambda: not h.window("About Vimo"))
    h.wait_for("Vimo as the foreground window", lambda: h.vimo_window()["foreground"])
    h.choose("About ...")
    left, top = h.wait_for("About window again", lambda: h.window("About Vimo"))["client"][:2]
    close = design_rect(720, 2400, 2055, 495)
    h.xdotool("mousemove", left + (close[0] + close[2]) // 2, top + (close[1] + close[3]) // 2,
              "click", 1)
    h.wait_for("end of the About window after Close", lambda: not h.window("About Vimo"))
    # Under Wine Vimo is active again only some 2 s after a window closed by a click.
    h.wait_for("Vimo as the foreground window after Close",
               lambda: h.vimo_window()["foreground"], 10)


def case_grid_colour(h: Harness) -> None:
    """Grid color ...: red chosen in the colour dialog's custom part turns the grid red."""
    h.ensure(factor=5, grid=True)
    h.choose("Grid color ...")
    dialog = h.wait_for("colour dialog", lambda: h.window("Color"))
    h.target.pick_red(h, dialog)
    h.wait_for("end of the colour dialog", lambda: not h.window("Color"))
    h.state = replace(h.state, grid_colour=RED)
    h.look(*P1, "grid-colour.png")


def grown(h: Harness, title: str, before: list[int], axis: int, more: int) -> Optional[dict]:
    """The window of that title once its client area has grown by more than `more` pixels
    across (axis 0) or down (axis 1) from the client rect `before`."""
    win = h.window(title)
    return win if win and win["client"][axis + 2] - win["client"][axis] > \
        before[axis + 2] - before[axis] + more else None


def case_hint_expires(h: Harness) -> None:
    """The caption keeps the hint for 2000 ticks of 15 ms after start, then drops it."""
    captions = h.captions
    i = h.wait_for("caption without the hint", lambda: next(  # nor a notice or "frozen"
        (i for i, (_, c) in enumerate(captions) if c.endswith("x)")), None),
        h.started + 3 * HINT_SECONDS - time.monotonic())
    if i == 0 or captions[i][0] - h.started < HINT_SECONDS - 1 or \
            captions[i][1] + HINT != captions[i - 1][1]:
        raise CaseFailure("captions (seconds after start): " + ", ".join(
            f"{t - h.started:.1f} {c!r}" for t, c in captions[:i + 1]))


def case_wheel_and_clipboard(h: Harness) -> None:
    """Wheel notches over the window choose the factor; "c" puts the colour under the
    pointer on the clipboard and in the caption for two seconds; Ctrl+C puts the view."""
    h.ensure(factor=3, pointer=False)
    h.focus()
    client = h.vimo_window()["client"]
    h.point_at((client[0] + client[2]) // 2, (client[1] + client[3]) // 2)
    for button, factor in ((4, 4), (4, 5), (5, 4)):  # away from the user, away, toward
        h.xdotool("click", button)
        h.wait_for(f"{factor}x", lambda: h.vimo_window()["title"].startswith(f"Vimo ({factor}x)"))
    h.state = replace(h.state, factor=4)
    h.look(*P1, "view-4x-wheel.png")

    h.press("c")
    colour = "#" + pattern_colour(*P1).hex().upper()
    h.wait_for(f"{colour} on the clipboard", lambda: clipboard(h)[0] == colour)
    h.wait_for(f"the caption with {colour}", lambda: h.vimo_window()["title"] == f"Vimo (4x)  {colour}")
    h.wait_for("the caption without the colour", lambda: "#" not in h.vimo_window()["title"], 4)

    h.press("ctrl+c")
    lay, (left, top), shot = layout(h.state, P1), h.vimo_window()["client"][:2], h.screenshot()
    w, h_ = (n - (h.state.grid and h.state.factor > 1) for n in lay[2:])  # the grid's frame
    view = b"".join(shot.pixel(left + 1 + x, top + 1 + y) for y in range(h_) for x in range(w))
    copied = h.wait_for("the view on the clipboard", lambda: (c := clipboard(h))[1:3] == (w, h_) and c)
    if h.target.name != "windows" and b"image/png" not in copied[4]:
        raise CaseFailure(f"the picture is not offered as image/png: {copied[4]}")
    if copied[3] != view:
        i = next(i for i in range(0, len(view), 3) if copied[3][i:i + 3] != view[i:i + 3])
        raise CaseFailure(f"the copy's pixel {i // 3} is {describe(copied[3][i:i + 3])}, the "
                          f"view shows {describe(view[i:i + 3])}")


def info_line(name: str, p: tuple[int, int]) -> str:
    """A point's line of Pixel info, worked out from the pattern's colour there."""
    (r, g, b), hi, lo = (c := pattern_colour(*p)), max(c), min(c)
    d, sum_ = hi - lo or 1, min(hi + lo, 510 - hi - lo) or 1  # exact fractions, rounded half up
    hue = Fraction(60 * (g - b), d) if r == hi else Fraction(60 * (b - r), d) + 120 if g == hi \
        else Fraction(60 * (r - g), d) + 240
    half_up = lambda v: math.floor(v + Fraction(1, 2))  # noqa: E731
    return (f"{name}  X={p[0]}  Y={p[1]}  #{c.hex().upper()}  rgb({r}, {g}, {b})  hsl("
            f"{half_up(hue) % 360}, {half_up(Fraction(100 * (hi - lo), sum_))}%, "
            f"{half_up(Fraction(100 * (hi + lo), 510))}%)")


def contrast(a: bytes, b: bytes) -> str:
    # Relative luminance: each sRGB channel made linear (c / 12.92 up to 10 / 255, which is
    # below 0.04045), weighted.
    lum = [sum(k * (v / 3294.6 if v <= 10 else ((v / 255 + 0.055) / 1.055) ** 2.4)
               for k, v in zip((0.2126, 0.7152, 0.0722), c)) for c in (a, b)]
    ratio = math.floor((max(lum) + 0.05) / (min(lum) + 0.05) * 100 + 1e-9)
    verdict = lambda least: "pass" if ratio >= least else "fail"  # noqa: E731
    return (f"Contrast  {ratio // 100}.{ratio % 100:02d}:1  AA large: {verdict(300)}  "
            f"AA: {verdict(450)}  AAA: {verdict(700)}")


def case_pixel_info(h: Harness) -> None:
    """Locked and measuring between two pattern pixels, "i" opens Pixel info; Ctrl+C in it
    puts its five lines on the clipboard: the pixel under the pointer, both points, their
    distance, angle and contrast. Every line whole in its label; Escape closes it."""
    h.ensure(factor=3, pointer=False)
    h.target.activate(h)
    h.look(*P1)
    left, top, right, bottom = h.vimo_window()["client"]
    h.toggle_lock()
    band = [left, top, right, bottom + 24]
    time.sleep(0.3)
    if h.vimo_window()["client"] != band:  # Measure comes back with the lock where it was on
        h.choose("Measure")
    h.wait_for("band", lambda: h.vimo_window()["client"] == band)
    h.point_at(left + 31, top + 62)  # column 10, row 20
    h.xdotool("click", 1)
    h.point_at(left + 100, top + 40)  # column 33, row 13
    h.press("i")
    info = h.wait_for("Pixel info window", lambda: h.window("Pixel info"))
    if DPI > 120:  # below Vimo it would cover the captured area (a screen read shows it)
        h.ask("move", "Pixel info", 0, 0)
        info = h.wait_for("Pixel info at the top", lambda: (
            lambda w: w if w and w["window"][1] < 40 else None)(h.window("Pixel info")))
    lay = layout(h.state, P1)
    p1, p2 = (lay.x + 10, lay.y + 20), (lay.x + 33, lay.y + 13)
    dx, dy = p2[0] - p1[0], p2[1] - p1[1]
    want = "\n".join([info_line("Pointer", p2), info_line("Point 1", p1), info_line("Point 2", p2),
                      f"Distance  dx={dx}  dy={dy}  length={math.hypot(dx, dy):.2f}  "
                      f"angle={math.degrees(math.atan2(-dy, dx)):.2f}\u00b0",
                      contrast(pattern_colour(*p1), pattern_colour(*p2))])
    if not info["topmost"]:
        raise CaseFailure(f"Pixel info is not topmost: {info}")
    # Its keys as a user gives them: a click in it (Wine activates a window only so), then
    # the pointer back on the second point.
    h.xdotool("mousemove", info["client"][2] - 10, info["client"][3] - 10, "click", 1)
    h.focus("^Pixel info$", info["window"])
    h.point_at(left + 100, top + 40)
    h.key("ctrl+c")
    got = h.wait_for("the five lines on the clipboard", lambda: (
        lambda text: text if text.replace("\r\n", "\n").startswith("Pointer") else None)(
            clipboard(h)[0]))
    if got.replace("\r\n", "\n") != want:
        raise CaseFailure(f"the clipboard holds {got!r}, not {want!r}")
    # Each line whole in its label: dark pixels, and none at the label's right end or in
    # its first and last rows.
    cl, ct = info["client"][:2]
    shot = h.screenshot()
    shot.save(h.out / f"pixel-info-{DPI}.png", [f(a, b) for f, a, b in zip(
        (min, min, max, max), h.vimo_window()["window"], info["window"])], 8)
    for i in range(5):
        x0, y0, x1, y1 = design_rect(120, 120 + 300 * i, 7800, 300)
        dark = [(x, y) for y in range(ct + y0, ct + y1) for x in range(cl + x0, cl + x1)
                if sum(shot.pixel(x, y)) < 200] or [(cl + x1, ct + y0)]
        if max(dark)[0] > cl + x1 - px(300) or {ct + y0, ct + y1 - 1} & {y for _, y in dark}:
            raise CaseFailure(f"line {i + 1} of Pixel info is cut or missing")
    h.key("Escape")
    h.wait_for("end of Pixel info", lambda: not h.window("Pixel info"))
    h.toggle_lock()


def case_settings_survive(h: Harness) -> None:
    """Options written at exit (closed minimised), byte for byte, and read at the next start."""
    h.start_vimo()
    h.ensure(factor=6, grid=True, centered=False, pointer=False, topmost=False)
    h.look(*P1)
    h.toggle_lock()
    h.point_at(*P2)
    h.expect_view(P1)  # locked around P1
    s, lay, win = h.state, layout(h.state, P1), h.vimo_window()["window"]
    values = dict(FactorIndex=s.factor, GridColor=int.from_bytes(s.grid_colour, "little"),
                  Grid=-s.grid, Sticked=0, Centered=-s.centered, Measure=0, Locked=-1,
                  XPos=lay.x, YPos=lay.y, TopWindow=-s.topmost, CursorOn=-s.pointer,
                  Width=twips(win[2] - win[0]), Height=twips(win[3] - win[1]),
                  Left=twips(win[0]), Top=twips(win[1]), SlowMouse=0)
    end = h.target.line_end
    want = (f"[Settings]{end}" + "".join(f"{k}={v}{end}" for k, v in values.items())).encode()
    if not h.ask("close", "Vimo (", "minimized")["ok"]:
        raise CaseFailure("could not minimise and close the Vimo window")
    h.wait_for("exit of Vimo", lambda: h.vimo.poll() is not None, 10)
    got = h.settings_path()[0].read_bytes()
    if got != want:
        raise CaseFailure(f"the settings file is {got!r}, want {want!r}")
    h.start_vimo(fresh=False, state=s, at=win[:2])
    h.set()
    h.expect_view(P1, "settings-restored.png")  # still locked at P1


def answer_save_error(h: Harness) -> None:
    """The "Vimo Error" box answered: Wine's text and OK button read, GTK's 5 drawn lines."""
    box = h.wait_for("Vimo Error message", lambda: h.window("Vimo Error"))
    if not box["children"]:  # GTK's, active (Mutter does not activate a box a program's
        h.focus("^Vimo Error$", box["window"])  # close brought): its text dark
    time.sleep(0.3)  # drawn
    shot = h.screenshot()
    shot.save(h.out / "settings-error.png", box["window"], 8)
    if box["children"]:  # Win32 controls: the text and the button can be read
        want = ("File access denied. Cannot save settings.\r\nPlease make sure that the "
                f"file\r\n{h.settings_path()[1]}\r\nis not write protected or opened by "
                "another program.")
        texts = [c["text"] for c in box["children"] if c["class"].lower() == "static" and c["text"]]
        buttons = [c for c in box["children"] if c["class"].lower() == "button"]
        if texts != [want] or [b["text"].replace("&", "") for b in buttons] != ["OK"]:
            raise CaseFailure(f"the message box has the texts {texts} and the buttons {buttons}")
        rect = buttons[0]["rect"]
        h.xdotool("mousemove", (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2, "click", 1)
    else:
        if h.vimo.poll() is not None:
            raise CaseFailure(f"Vimo ended ({h.vimo.poll()}) before OK")
        # The message's four lines and the button's one: bands of rows with text, a row or
        # two of a line's own (the tail of a "g") taken into its band.
        left, top, right, bottom = box["client"]
        inked = [y for y in range(top, bottom)
                 if any(sum(shot.pixel(x, y)) < 300 for x in range(left, right))]
        bands = sum(1 for a, b in zip([top - 9] + inked, inked) if b - a > 3)
        if bands != 5:
            raise CaseFailure(f"the message box shows {bands} lines of text, not the "
                              "message's 4 and OK (settings-error.png)")
        h.focus("^Vimo Error$", box["window"])
        h.key("Return")
    h.wait_for("exit of Vimo after OK", lambda: h.vimo.poll() is not None, 10)


def case_settings_write_protected(h: Harness) -> None:
    """A settings file Vimo cannot write: "Vimo Error" at exit, nothing written, the exit
    after OK."""
    path, native = h.settings_path()
    end = h.target.line_end
    before = f"[Settings]{end}FactorIndex=4{end}".encode()
    h.target.write_settings(before)
    h.start_vimo(fresh=False, state=replace(fresh_state(), factor=4))
    try:
        h.target.protect(h, path, native)
        if not h.ask("close", "Vimo (")["ok"]:
            raise CaseFailure("could not close Vimo")
        answer_save_error(h)
    finally:
        h.target.unprotect(h, path)
    if path.read_bytes() != before or sorted(p.name for p in path.parent.iterdir()) != [path.name]:
        raise CaseFailure(f"the settings file changed to {path.read_bytes()!r} or other files "
                          f"were left: {sorted(p.name for p in path.parent.iterdir())}")


def case_settings_odd_paths(h: Harness) -> None:
    """Full disk, folder, FIFO: every default at start; "Vimo Error" at exit; all left as it was."""
    path, end = h.settings_path()[0], h.target.line_end
    # A user's file with a section of their own, in one page of the tmpfs; Vimo's keys would
    # make it larger.
    users = f"[Settings]{end}Grid=0{end}[Mine]{end}Note={'n' * 3900}{end}".encode()
    held = lambda: sorted((p.name, p.stat().st_mode, p.is_file() and p.read_bytes())
                          for p in path.parent.iterdir())
    for name in ("full", "folder", "fifo"):
        if name == "full" and os.geteuid() != 0:
            print("  SKIP the full file system: mounting a tmpfs needs root", flush=True)
            continue
        shutil.rmtree(path.parent, ignore_errors=True)
        try:
            if name == "full":  # a 32 KiB tmpfs as the settings folder, the rest of it filled
                path.parent.mkdir(parents=True)
                subprocess.run(["mount", "-t", "tmpfs", "-osize=32k", "none", path.parent], check=True)
            h.target.write_settings(users)  # it and its folders Vimo's user's
            if name == "full":
                subprocess.run(["dd", "if=/dev/zero", f"of={path.parent}/fill"], capture_output=True)
            else:
                path.unlink()
                path.mkdir() if name == "folder" else os.mkfifo(path)
            before = held()
            h.start_vimo(fresh=False)
            if h.misplaced or h.vimo_window()["title"] != f"Vimo (3x){HINT}":
                raise CaseFailure(f"{name}: {h.misplaced or h.vimo_window()['title']!r}")
            h.set()  # on top
            h.look(*P1, f"settings-{name}.png")
            h.ask("close", "Vimo (") if name == "full" else os.kill(h.vimo.pid, signal.SIGTERM)
            answer_save_error(h)
            if held() != before:
                raise CaseFailure(f"{name}: the folder's files changed: {[a[:2] for a in held()]}")
        finally:
            if name == "full":
                subprocess.run(["umount", "--lazy", path.parent], check=False)


def case_settings_garbage(h: Harness) -> None:
    """A settings file of garbage: Vimo starts with its defaults."""
    h.target.write_settings(b"\x00\xff[Settings\r\nFactorIndex=zz\n[Settings]\nGrid\nCentered=\r\n"
                            b"Width=-5\nHeight=abc\nFactorIndex=99\nGridColor=-1\n\x1a")
    h.start_vimo(fresh=False)
    h.set()
    h.look(*P1, "settings-garbage.png")


LIGHT = b"\xfa\xfa\xfa"  # the body of the portal's dialog


def answer_portal(h: Harness, share: bool) -> None:
    """Answers the portal's "Screen Share" dialog as a user does. Vimo shows no window while
    it asks. It is a Wayland window (GTK 4), found on the screen by its light body: the
    monitor's row (the first band in it taller than a text) clicked and then Share (the
    header's right end, blue once a monitor is chosen), or Cancel (its left end)."""
    def dialog() -> Optional[tuple[Shot, int, int, int]]:
        shot = h.screenshot()
        light = [(x, y) for y in range(0, H, 2) for x in range(0, W, 2)
                 if shot.pixel(x, y) == LIGHT]
        return (shot, min(light)[0], min(light)[1], max(light)[0]) if len(light) > 5000 else None
    shot, left, top, right = h.wait_for("the portal's Screen Share dialog", dialog, 20)
    if h.window():
        raise CaseFailure(f"Vimo shows a window while the portal asks: {h.window()}")
    shot.save(h.out / "portal-dialog.png", [0, 0, W, H])

    def click(x: int, y: int) -> None:  # GTK 4 takes a click only after the pointer's motion
        h.point_at(x, y)
        h.xdotool("click", 1)
    if not share:
        return click(left + 45, top - 22)
    row = next(y for y in range(top, H - 30)  # 30 rows not the body's: no line of text
               if all(shot.pixel(right - 40, y + i) != LIGHT for i in range(30)))
    click((left + right) // 2, row + 15)
    blue = lambda c: c[0] < 100 and c[2] > 200  # noqa: E731
    button = h.wait_for("Share enabled", lambda: (lambda shot: [
        (x, y) for y in range(top - 40, top) for x in range((left + right) // 2, right)
        if blue(shot.pixel(x, y))])(h.screenshot()))
    click(*[sum(c) // len(button) for c in zip(*button)])


def ended_saying(h: Harness, words: str) -> None:
    """Vimo ends with 3, its stderr (its log since its command line) one line "vimo: ..."
    with those words."""
    h.wait_for("end of Vimo", lambda: h.vimo.poll() is not None, 10)
    errors = (h.out / "vimo.log").read_text().rsplit("\n== ", 1)[-1].splitlines()[1:]
    if h.vimo.returncode != 3 or len(errors) != 1 or not errors[0].startswith("vimo: ") or \
            words not in errors[0]:
        raise CaseFailure(f"Vimo ended with {h.vimo.returncode}, saying {errors}")


def case_portal_dialog(h: Harness) -> None:
    """No permission stored: the portal asks, Vimo shows no window meanwhile; Share brings
    its window with a right view, and the portal's restore token kept makes the next start
    ask nothing."""
    h.target.forget(h)
    try:
        h.start_vimo(answer=lambda: answer_portal(h, share=True))
    finally:
        if not h.target.token_path().exists():
            h.target.allow(h)  # for the cases after
    h.set()
    h.look(*P1, "portal-shared.png")
    token = h.target.token_path().read_text()
    if not re.fullmatch(r"[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\n", token) or \
            f"'{MONITOR}'" not in h.target.store(h, "Lookup", token.strip()):
        raise CaseFailure(f"Vimo kept {token!r}, not the token of the portal's permission")
    h.start_vimo()  # would wait for the dialog's answer, with no window meanwhile
    h.look(*P2)


def case_portal_refused(h: Harness) -> None:
    """No permission stored and the dialog cancelled: Vimo ends with 3 and one line saying
    the desktop refused to share the screen."""
    h.stop_vimo()
    h.target.forget(h)
    try:
        h.vimo = h.spawn(h.target.command(h.exe), "vimo.log")
        answer_portal(h, share=False)
        ended_saying(h, "refused")
    finally:
        h.target.allow(h)


def case_portal_closed(h: Harness) -> None:
    """The desktop stops sharing the screen while Vimo runs (its portal ends, and Mutter the
    cast the portal made): Vimo saves its settings and ends with 3 and one line saying so."""
    h.start_vimo()
    h.set(factor=4)
    h.target.end_portal(h)
    ended_saying(h, "stopped sharing the screen")
    path = h.settings_path()[0]
    if not path.is_file() or b"FactorIndex=4\n" not in path.read_bytes():
        raise CaseFailure(f"the settings file holds {path.exists() and path.read_bytes()!r}")


# Relative pointer moves, and the sums after each: fractions of a factor carry over.
SLOW_STEPS = [(4, 0), (2, 0), (9, -6), (1, 3), (1, 0), (1, 0)]


def case_slow_mouse(h: Harness) -> None:
    """Locked with "Slow down mouse pointer ...": inside the locked area each move of N pixels
    moves the pointer N / factor, fractions carried; outside it, and after unlocking, N."""
    h.ensure(factor=3, pointer=False)
    if not h.target.slows:
        return slow_mouse_disabled(h)

    def moves(f: int) -> None:
        start, total = tuple(h.ask("state")["cursor"]), (0, 0)
        for step in SLOW_STEPS:
            total = (total[0] + step[0], total[1] + step[1])
            h.xdotool("mousemove_relative", "--", *step)
            want = [p + t / f for p, t in zip(start, total)]
            exact = all(t % f == 0 for t in total)
            def there() -> bool:
                at = h.ask("state")["cursor"]
                return at == want if exact else all(abs(a - w) < 1 for a, w in zip(at, want))
            try:
                h.wait_for(f"pointer at {want} after moves of {total} from {start}", there)
            except CaseFailure as exc:
                raise CaseFailure(f"{exc}: it is at {h.ask('state')['cursor']}") from None

    h.point_at(*P1)
    h.toggle_lock()  # locked around P1
    h.point_at(900, 700)  # outside the area
    h.press("Down")  # the menu opens where the pointer is, and it stays there
    h.wait_for("menu", h.menus)
    h.navigate(MENU[7])
    moves(1)
    h.point_at(*P1)
    time.sleep(0.1)  # a few ticks: each one looks whether the pointer is in the area
    moves(h.state.factor)
    h.toggle_lock()
    time.sleep(0.1)
    moves(1)


def slow_mouse_disabled(h: Harness) -> None:
    """Where the pointer can neither be seen over every window nor slowed (Wayland, Vimo's
    windows through Xwayland) the slow mouse stays disabled when locked: the menu's keys
    pass over it (GTK skips it) to Show mouse pointer, and the pointer shows in the view."""
    h.point_at(*P1)
    h.toggle_lock()
    h.choose(MENU[8])
    h.state = replace(h.state, pointer=True)
    h.look(*P1, "view-3x-slow-mouse-off.png")
    h.toggle_lock()


def case_session_end(h: Harness) -> None:
    """The session ends as at a log-off (Wine's session ended, SIGTERM to the Linux build):
    the settings are saved."""
    h.start_vimo()
    h.set(factor=7)
    path = h.settings_path()[0]
    if path.exists():
        raise CaseFailure(f"{path} was written before the session ended")
    h.target.end_session(h)
    end = h.target.line_end
    h.wait_for("FactorIndex=7 in the settings file", lambda: path.is_file() and
               f"[Settings]{end}FactorIndex=7{end}".encode() in path.read_bytes(), 20)


# Each case but the settings ones works with the Vimo running, started fresh before the
# first case and after a failure; the hint case with the one the first case saw start.
# The session's end goes last: under Wine it ends the helper too.
CASES = [case_views, case_still_screen, case_keys, case_measure, case_about, case_grid_colour,
         case_hint_expires, case_wheel_and_clipboard, case_pixel_info,
         case_settings_survive,
         case_settings_write_protected, case_settings_odd_paths, case_settings_garbage,
         case_portal_dialog, case_portal_refused, case_portal_closed, case_slow_mouse,
         case_session_end]


def main() -> int:
    parser = argparse.ArgumentParser(description="End-to-end tests of Vimo: vimo.exe under "
                                     "Wine, or the native Linux build")
    parser.add_argument("--target", choices=("windows", "linux", "wayland"), default="windows")
    parser.add_argument("--exe", help="vimo.exe, or the Linux build's vimo")
    parser.add_argument("--pattern", help="vimo_pattern.exe, or vimo_pattern_x11")
    parser.add_argument("--out", help="pictures and logs (build/e2e, build/e2e-linux)")
    parser.add_argument("--dpi", type=int, default=96, choices=(96, 120, 144, 168, 192),
                        help="the screen's scale (Wine's LogPixels, X's Xft.dpi): 144 is "
                        "150%%, 192 200%%")
    parser.add_argument("--compositor", action="store_true",
                        help="Linux: run a compositing manager (xcompmgr) beside openbox")
    parser.add_argument("--case", action="append", default=[], metavar="NAME",
                        help="run only this case (the name without case_); repeatable")
    args = parser.parse_args()
    linux = args.target != "windows"
    args.exe = args.exe or REPO / ("build/linux/vimo" if linux else "build/mingw/vimo.exe")
    args.pattern = args.pattern or REPO / ("build/linux/tests/e2e/vimo_pattern_x11" if linux else
                                           "build/mingw/tests/e2e/vimo_pattern.exe")
    args.out = args.out or REPO / {"linux": "build/e2e-linux", "wayland": "build/e2e-wayland",
                                   "windows": "build/e2e"}[args.target]
    if args.target == "wayland" and (args.dpi != 96 or args.compositor):
        parser.error("--target wayland runs at 96 DPI, on Mutter's own compositing")
    global DPI, COMPOSITOR
    DPI, COMPOSITOR = args.dpi, args.compositor
    cases = {case.__name__[5:]: case for case in CASES}
    if set(args.case) - cases.keys():
        parser.error(f"the cases are {', '.join(cases)}")
    if not (Path(args.exe).is_file() and Path(args.pattern).is_file()):
        parser.error(f"no {args.exe} or {args.pattern}: build with the "
                     f"{'linux' if linux else 'mingw'} preset first")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("e2e: terminated"))
    h = Harness(args)
    h.out.mkdir(parents=True, exist_ok=True)
    for old in [*h.out.glob("*.png"), *h.out.glob("*.log")]:
        old.unlink()
    started, passed, failed, skipped, restart = time.monotonic(), 0, 0, 0, True
    try:
        h.setup()
        for name, case in cases.items():
            if args.case and name not in args.case:
                continue
            if name in h.target.skips:
                skipped += 1
                print(f"SKIP {name}: {h.target.skips[name]}", flush=True)
                continue
            t0, h.shot = time.monotonic(), None
            try:
                if restart or h.vimo.poll() is not None:
                    h.start_vimo()
                restart = False
                case(h)
                passed += 1
                print(f"PASS {name} ({time.monotonic() - t0:.1f} s)", flush=True)
            except Exception as exc:
                failed, restart = failed + 1, True
                message = str(exc) if isinstance(exc, CaseFailure) else traceback.format_exc(3)
                print(f"FAIL {name} ({time.monotonic() - t0:.1f} s): {message}", flush=True)
                (h.shot or h.screenshot()).save(h.out / f"fail-{name}.png", [0, 0, W, H])
                h.key("Escape", "Escape", "Escape")  # no menu left open
    except BaseException as exc:
        failed += 1
        print(f"e2e: stopped: {exc!r}", file=sys.stderr)
    finally:
        signal.signal(signal.SIGTERM, signal.SIG_IGN)  # a second one would cut the cleaning short
        h.close()
    print(f"{passed} passed, {failed} failed, {skipped} skipped in "
          f"{time.monotonic() - started:.0f} s ({h.target.name})")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
