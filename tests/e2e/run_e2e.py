#!/usr/bin/env python3
"""End-to-end tests of vimo.exe: the real program under Wine on an Xvfb screen.

The driver starts a private X server and a throw-away Wine prefix, shows a test pattern
in a window of the helper vimo_pattern.exe, starts vimo.exe, moves the real X pointer
with xdotool, types and clicks like a user, takes screenshots of the X root window and
compares the magnifier's client area pixel by pixel with what the placement rule says it
must show.

    python3 tests/e2e/run_e2e.py --exe build/mingw/vimo.exe \
        --pattern build/mingw/tests/e2e/vimo_pattern.exe --out build/e2e

Needs: Xvfb, xdotool, ImageMagick's `import`, Wine (wine, wineboot, wineserver).
Everything it starts is stopped again (wineserver -k, Xvfb killed, prefix removed), also
when a case fails or the run is interrupted. Prints `N passed, M failed` last and exits
non-zero on any failure. Screenshots of failures and of the main states go to --out.

Wine (8.x) facts the cases rely on:
  * the desktop DC sees only Wine's own windows, so the pattern comes from a Wine window;
  * a layered window shows in screen captures, so the magnifier is kept away from the
    area it magnifies;
  * without a window manager Wine draws the window frames itself and Win32 screen
    coordinates are X root coordinates;
  * without a window manager the X keyboard focus is PointerRoot and Wine gives a key to
    the window under the pointer, so the driver sets the X focus on Vimo's window first;
  * GetCursorInfo reports the cursor of the foreground thread (Vimo's own), also while
    the pointer is over another program's window, so a pointer may be drawn into the view;
  * in an open popup menu, Down from no selection selects the first item, disabled items
    are selected too (only separators are skipped), Right opens a submenu on its first
    item and Return chooses.
"""

from __future__ import annotations

import argparse
import json
import math
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback
import zlib
from dataclasses import dataclass, field
from fractions import Fraction
from pathlib import Path
from typing import Callable, Optional

REPO = Path(__file__).resolve().parents[2]

SCREEN_W, SCREEN_H = 1280, 1024

# The pattern fills the bottom-right corner of the screen, so that clamping at the
# desktop's right and bottom edges can be checked; the magnifier sits far from it.
PATTERN_RECT = (760, 560, SCREEN_W, SCREEN_H)  # left, top, right (excl.), bottom (excl.)
MAGNIFIER_POS = (40, 40)                       # outer top-left of the Vimo window
# The design's client area is 200 x 223; with measuring off, start-up takes the 24-pixel
# read-out band away again.
INITIAL_CLIENT = (200, 199)
GRID_COLOUR = (0xC0, 0xC0, 0xC0)
BLACK = (0, 0, 0)

HINT = "  Right click for a menu"
HINT_TICKS = 2000
TICK_MS = 15

# The popup menu's items as keyboard navigation sees them (separators are skipped).
MENU_ITEMS = [
    "Magnification",
    "Always on top",
    "Stick to mouse (press 'M' to toggle)",
    "Centered to mouse",
    "Top left of mouse",
    "Lock (press 'space' to toggle)",
    "Measure",
    "Slow down mouse pointer in magnified area",
    "Show mouse pointer",
    "Show grid",
    "Grid color ...",
    "About ...",
]

VIEW_TIMEOUT = 5.0   # seconds to wait for the view to show what is expected
STATE_TIMEOUT = 5.0  # seconds to wait for a caption, a menu, the pointer


# ---- the pattern ----------------------------------------------------------------------
# Same function as PatternColour in pattern.cpp.

def pattern_colour(x: int, y: int) -> tuple[int, int, int]:
    return ((x * 37) & 0xFF, (y * 59) & 0xFF,
            0x80 | ((x >> 8) & 7) | (((y >> 8) & 7) << 3))


_INV37 = pow(37, -1, 256)
_INV59 = pow(59, -1, 256)


def pattern_pixel_of(colour: tuple[int, int, int]) -> Optional[tuple[int, int]]:
    """The screen pixel whose pattern colour this is, if any pattern pixel has it."""
    r, g, b = colour
    if not 0x80 <= b <= 0xBF:
        return None
    x = ((r * _INV37) & 0xFF) | ((b & 7) << 8)
    y = ((g * _INV59) & 0xFF) | (((b >> 3) & 7) << 8)
    left, top, right, bottom = PATTERN_RECT
    if left <= x < right and top <= y < bottom and pattern_colour(x, y) == colour:
        return x, y
    return None


# ---- images ---------------------------------------------------------------------------

class Image:
    """An RGB screenshot: 3 bytes a pixel, rows top to bottom."""

    def __init__(self, width: int, height: int, data: bytes):
        self.width, self.height, self.data = width, height, data

    @staticmethod
    def from_ppm(blob: bytes) -> "Image":
        tokens: list[bytes] = []
        pos = 0
        while len(tokens) < 4:
            while blob[pos:pos + 1].isspace():
                pos += 1
            if blob[pos:pos + 1] == b"#":
                pos = blob.index(b"\n", pos) + 1
                continue
            end = pos
            while not blob[end:end + 1].isspace():
                end += 1
            tokens.append(blob[pos:end])
            pos = end
        pos += 1  # the single blank after maxval
        if tokens[0] != b"P6" or tokens[3] != b"255":
            raise ValueError(f"unexpected PPM header {tokens!r}")
        width, height = int(tokens[1]), int(tokens[2])
        data = blob[pos:pos + width * height * 3]
        if len(data) != width * height * 3:
            raise ValueError("short PPM data")
        return Image(width, height, data)

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        o = (y * self.width + x) * 3
        return self.data[o], self.data[o + 1], self.data[o + 2]

    def crop(self, left: int, top: int, right: int, bottom: int) -> "Image":
        left, top = max(0, left), max(0, top)
        right, bottom = min(self.width, right), min(self.height, bottom)
        rows = [self.data[(y * self.width + left) * 3:(y * self.width + right) * 3]
                for y in range(top, bottom)]
        return Image(right - left, bottom - top, b"".join(rows))

    def save_png(self, path: Path) -> None:
        raw = b"".join(b"\x00" + self.data[y * self.width * 3:(y + 1) * self.width * 3]
                       for y in range(self.height))

        def chunk(kind: bytes, body: bytes) -> bytes:
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        png = (b"\x89PNG\r\n\x1a\n" +
               chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)) +
               chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(png)


# ---- what the magnifier must show -----------------------------------------------------

@dataclass
class ViewState:
    """The options the harness has set in vimo.exe, so what the view must show."""
    factor: int = 3
    centered: bool = True
    grid: bool = False
    pointer: bool = True  # "Show mouse pointer" is on by default
    grid_colour: tuple[int, int, int] = GRID_COLOUR

    def describe(self) -> str:
        return (f"F={self.factor} {'centred' if self.centered else 'top-left'}"
                f"{', grid ' + fmt(self.grid_colour) if self.grid else ''}"
                f"{', pointer' if self.pointer else ''}")


@dataclass
class Layout:
    """Where the view lies in a client area of a given size, for one pointer position."""
    factor: int
    src_w: int
    src_h: int
    src_x: int
    src_y: int

    @property
    def view_w(self) -> int:
        return self.src_w * self.factor

    @property
    def view_h(self) -> int:
        return self.src_h * self.factor

    @property
    def source_rect(self) -> tuple[int, int, int, int]:
        return self.src_x, self.src_y, self.src_x + self.src_w, self.src_y + self.src_h

    def describe(self) -> str:
        return (f"source {self.src_w}x{self.src_h} at ({self.src_x},{self.src_y}), "
                f"view {self.view_w}x{self.view_h}")


def layout(state: ViewState, client_w: int, client_h: int, cursor: tuple[int, int]) -> Layout:
    """The placement rule: whole blocks of the factor inside a one-pixel frame."""
    f = state.factor
    src_w, src_h = (client_w - 2) // f, (client_h - 2) // f
    cx, cy = cursor
    if state.centered:
        sx = math.floor(cx - Fraction(src_w - 1, 2))
        sy = math.floor(cy - Fraction(src_h - 1, 2))
    else:  # the pointer's pixel is the bottom-right source pixel
        sx, sy = cx - (src_w - 1), cy - (src_h - 1)
    sx = max(0, min(sx, SCREEN_W - src_w))
    sy = max(0, min(sy, SCREEN_H - src_h))
    return Layout(f, src_w, src_h, sx, sy)


# While "Show mouse pointer" is on, vimo.exe may draw a pointer image into the view with
# its hot spot on the pointer's pixel. Under Wine, GetCursorInfo reports the cursor of the
# foreground thread (Vimo's own: its one green pixel, or the arrow after a menu), so
# what is drawn varies with what happened before; the view checks leave out the source
# pixels such an image can cover and check all the others. case_show_pointer checks the
# view without any pointer, and that a pointer is drawn where it belongs.
POINTER_REACH = (4, 32)  # source pixels left/up of the pointer's pixel, and right/down


def in_pointer_box(x: int, y: int, cursor: tuple[int, int]) -> bool:
    back, ahead = POINTER_REACH
    return cursor[0] - back <= x < cursor[0] + ahead and cursor[1] - back <= y < cursor[1] + ahead


@dataclass
class ViewCheck:
    mismatches: int = 0
    checked: int = 0
    in_pointer_box: int = 0  # pixels left out because a pointer may cover them
    details: list[str] = field(default_factory=list)

    @property
    def ok(self) -> bool:
        return self.mismatches == 0 and self.checked > 0


def check_view(img: Image, client: tuple[int, int, int, int], state: ViewState,
               lay: Layout, cursor: tuple[int, int], skip_pointer: bool) -> ViewCheck:
    """Compares the frame's top and left lines and every pixel of the view.

    Client pixel (1 + F*i + a, 1 + F*j + b) shows screen pixel (SrcX + i, SrcY + j); with
    the grid, client columns and rows at multiples of F are grey instead.
    """
    left, top = client[0], client[1]
    f = lay.factor
    grid = state.grid and f > 1
    result = ViewCheck()
    data, width = img.data, img.width
    for cy in range(lay.view_h + 1):
        row = (top + cy) * width + left
        j = (cy - 1) // f
        for cx in range(lay.view_w + 1):
            o = (row + cx) * 3
            got = (data[o], data[o + 1], data[o + 2])
            i = (cx - 1) // f
            if cx == 0 or cy == 0:
                want = BLACK
            elif grid and (cx == lay.view_w or cy == lay.view_h):
                want = BLACK  # in grid mode the frame takes the last grid line's place
            elif grid and (cx % f == 0 or cy % f == 0):
                want = state.grid_colour
            else:
                want = pattern_colour(lay.src_x + i, lay.src_y + j)
            if skip_pointer and cx > 0 and cy > 0 and \
                    in_pointer_box(lay.src_x + i, lay.src_y + j, cursor):
                result.in_pointer_box += 1
                continue
            result.checked += 1
            if got != want:
                result.mismatches += 1
                if len(result.details) < 4:
                    src = pattern_pixel_of(got)
                    what = f"= screen pixel {src}" if src else "not in the pattern"
                    result.details.append(
                        f"client ({cx},{cy}) is {fmt(got)} ({what}), want {fmt(want)}")
    return result


def guess_view(img: Image, client: tuple[int, int, int, int]) -> str:
    """Reads what the view actually shows: its first block and the screen pixel in it."""
    left, top, right, _ = client
    first = img.pixel(left + 1, top + 1)
    src = pattern_pixel_of(first)
    if src is None:
        return f"client (1,1) is {fmt(first)}, not in the pattern"
    run = 1
    while left + 1 + run < right and img.pixel(left + 1 + run, top + 1) == first:
        run += 1
    return f"client (1,1) shows screen pixel {src} in a block {run} px wide"


def fmt(c: tuple[int, int, int]) -> str:
    return "#%02X%02X%02X" % c


# ---- infrastructure -------------------------------------------------------------------

class CaseFailure(Exception):
    pass


class Harness:
    def __init__(self, args: argparse.Namespace):
        self.args = args
        self.out = Path(args.out).resolve()
        self.exe = Path(args.exe).resolve()
        self.pattern_exe = Path(args.pattern).resolve()
        self.display: Optional[str] = None
        self.xvfb: Optional[subprocess.Popen] = None
        self.prefix: Optional[Path] = None
        self.procs: list[subprocess.Popen] = []
        self.vimo: Optional[subprocess.Popen] = None
        self.vimo_seen_at: Optional[float] = None
        self.state = ViewState()
        self.timings: dict[str, float] = {}
        self.last_shot: Optional[Image] = None
        self.started_at: list[int] = []  # the Vimo window's rect before the harness moved it

    # -- processes --

    def env(self) -> dict[str, str]:
        env = dict(os.environ)
        env.update(DISPLAY=self.display or "", WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        if self.prefix is not None:
            env["WINEPREFIX"] = str(self.prefix)
        env.pop("WINESERVER", None)
        return env

    def run(self, cmd: list[str], timeout: float = 30, check: bool = True,
            env: Optional[dict[str, str]] = None) -> subprocess.CompletedProcess:
        proc = subprocess.run(cmd, env=env or self.env(), capture_output=True,
                              timeout=timeout)
        if check and proc.returncode != 0:
            raise CaseFailure(f"{' '.join(cmd)} exited {proc.returncode}: "
                              f"{proc.stderr.decode(errors='replace').strip()[-400:]}")
        return proc

    def start_xvfb(self) -> None:
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
            stderr=open(self.out / "xvfb.log", "wb"), start_new_session=True)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_fd], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                raise RuntimeError("Xvfb did not report its display number")
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise RuntimeError("Xvfb exited before it reported its display")
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()

    def prepare_prefix(self) -> None:
        """Copies a cached freshly booted prefix (made once per Wine version) to a temp dir."""
        wine_version = self.run(["wine", "--version"], check=False).stdout.decode().strip()
        cache = Path(self.args.prefix_cache).resolve()
        template = cache / "template"
        stamp = cache / "wine-version"
        if self.args.no_cache or not template.is_dir() or \
                not stamp.is_file() or stamp.read_text() != wine_version:
            t0 = time.monotonic()
            shutil.rmtree(cache, ignore_errors=True)
            cache.mkdir(parents=True, exist_ok=True)
            staging = Path(tempfile.mkdtemp(prefix="template-", dir=cache))
            env = self.env()
            env["WINEPREFIX"] = str(staging)
            self.run(["wineboot", "-i"], timeout=240, env=env)
            self.run(["wineserver", "-w"], timeout=120, env=env)
            staging.rename(template)
            stamp.write_text(wine_version)
            self.timings["wineboot"] = time.monotonic() - t0
        t0 = time.monotonic()
        parent = Path(tempfile.mkdtemp(prefix="vimo-e2e-"))
        self.prefix = parent / "prefix"
        shutil.copytree(template, self.prefix, symlinks=True)
        self.timings["prefix copy"] = time.monotonic() - t0

    def start_wine(self, args: list[str], log_name: str,
                   read_stdout: bool = False) -> subprocess.Popen:
        log = open(self.out / log_name, "wb")
        proc = subprocess.Popen(["wine", *args], env=self.env(),
                                stdout=subprocess.PIPE if read_stdout else log, stderr=log,
                                stdin=subprocess.DEVNULL, start_new_session=True)
        self.procs.append(proc)
        return proc

    def close(self) -> None:
        for proc in self.procs:
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        if self.prefix is not None and self.display is not None:
            try:
                self.run(["wineserver", "-k"], timeout=20, check=False)
                self.run(["wineserver", "-w"], timeout=20, check=False)
            except subprocess.TimeoutExpired:
                pass
        for proc in self.procs:
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        if self.xvfb is not None and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
        if self.prefix is not None:
            shutil.rmtree(self.prefix.parent, ignore_errors=True)

    # -- the helper, X tools --

    def helper(self, *args: str, allow_fail: bool = False) -> dict:
        proc = self.run(["wine", str(self.pattern_exe), *args], check=False, timeout=30)
        line = proc.stdout.decode("utf-8", errors="replace").strip().splitlines()
        if proc.returncode not in (0, 1) or not line:
            if allow_fail:
                return {}
            raise CaseFailure(f"vimo_pattern {' '.join(args)} failed ({proc.returncode}): "
                              f"{proc.stderr.decode(errors='replace').strip()[-300:]}")
        return json.loads(line[-1])

    def probe(self) -> dict:
        info = self.helper("probe", "Vimo", allow_fail=True)
        if not info.get("found"):
            note = ""
            if self.vimo is not None and self.vimo.poll() is not None:
                note = f" (vimo.exe exited with {self.vimo.returncode})"
            raise CaseFailure("the Vimo window is not there" + note)
        return info

    def xdotool(self, *args: str) -> str:
        return self.run(["xdotool", *args], timeout=15).stdout.decode().strip()

    def focus_vimo(self) -> None:
        """Gives the X keyboard focus to the Vimo window, as a window manager would.

        Without a window manager the X focus is PointerRoot: keys go to the window under
        the pointer, and Wine hands them to that window (the pattern, when pointing at
        it) instead of its foreground window.
        """
        self.focus_window(r"^Vimo \(", self.probe()["window"])

    def focus_window(self, title_regex: str, window: list[int]) -> None:
        """Gives the X keyboard focus to the X window of that title within that Win32 rect.

        Wine draws the frame of a layered window itself (its X window is the whole
        window); other windows leave it to the window manager, which Xvfb has not, so
        their X window is only the client area.
        """
        found = self.run(["xdotool", "search", "--name", title_regex], check=False,
                         timeout=15).stdout.decode().split()
        for xid in found:
            geometry = self.run(["xdotool", "getwindowgeometry", "--shell", xid],
                                check=False, timeout=15).stdout.decode()
            values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
            x, y = (int(values.get(k, -1)) for k in ("X", "Y"))
            if window[0] <= x < window[2] and window[1] <= y < window[3]:
                self.xdotool("windowfocus", "--sync", xid)
                return
        raise CaseFailure(f"no X window {title_regex!r} at {window[:2]} among {found}")

    def activate_vimo(self) -> None:
        """Clicks Vimo's title bar, as a user does to bring it to the front; without a
        window manager Wine makes a window active only on such a click."""
        cursor = self.helper("cursor")
        window = self.probe()["window"]
        self.xdotool("mousemove", str(window[0] + 40), str(window[1] + 10), "click", "1")
        self.point_at(cursor["x"], cursor["y"])

    def press(self, *keys: str) -> None:
        """Types keys into the Vimo window, wherever the pointer is."""
        self.focus_vimo()
        self.xdotool("key", "--delay", "30", *keys)

    def screenshot(self) -> Image:
        proc = self.run(["import", "-window", "root", "-depth", "8", "ppm:-"], timeout=30)
        self.last_shot = Image.from_ppm(proc.stdout)
        return self.last_shot

    def save(self, name: str, img: Optional[Image] = None) -> Path:
        img = img or self.last_shot or self.screenshot()
        path = self.out / name
        img.save_png(path)
        return path

    # -- waiting --

    def wait_for(self, what: str, test: Callable[[], object], timeout: float = STATE_TIMEOUT,
                 interval: float = 0.05):
        deadline = time.monotonic() + timeout
        last_error = ""
        while True:
            try:
                value = test()
                if value:
                    return value
            except CaseFailure as exc:
                last_error = f": {exc}"
            if time.monotonic() >= deadline:
                raise CaseFailure(f"timed out after {timeout:.1f} s waiting for {what}{last_error}")
            time.sleep(interval)

    def point_at(self, x: int, y: int) -> None:
        """Moves the X pointer and waits until Wine reports it there."""
        self.xdotool("mousemove", str(x), str(y))
        self.wait_for(f"Wine to see the pointer at ({x},{y})",
                      lambda: (lambda c: c.get("x") == x and c.get("y") == y)(
                          self.helper("cursor")))

    def client_rect(self) -> tuple[int, int, int, int]:
        return tuple(self.probe()["client"])  # type: ignore[return-value]

    def expect_view(self, cursor: tuple[int, int], shot_name: Optional[str] = None,
                    timeout: float = VIEW_TIMEOUT, skip_pointer: Optional[bool] = None,
                    client_size: Optional[tuple[int, int]] = None) -> ViewCheck:
        """Waits until the view shows exactly what the current options give for `cursor`.

        The layout follows the client area vimo.exe has now (client_size, if given, must
        be it). Returns the check that passed.
        """
        client = self.client_rect()
        size = (client[2] - client[0], client[3] - client[1])
        if client_size is not None and size != client_size:
            raise CaseFailure(f"client area is {size[0]}x{size[1]}, expected "
                              f"{client_size[0]}x{client_size[1]}")
        lay = layout(self.state, size[0], size[1], cursor)
        self.assert_source_clear(lay)
        if skip_pointer is None:
            skip_pointer = self.state.pointer
        deadline = time.monotonic() + timeout
        while True:
            img = self.screenshot()
            result = check_view(img, client, self.state, lay, cursor, skip_pointer)
            if result.ok:
                if shot_name:
                    self.save_window(shot_name, img)
                return result
            if time.monotonic() >= deadline:
                raise CaseFailure(
                    f"the view does not show the pattern as placed for pointer {cursor} "
                    f"({self.state.describe()}, client {size[0]}x{size[1]}: {lay.describe()}): "
                    f"{result.mismatches} of {result.checked} pixels differ; "
                    f"{guess_view(img, client)}; " + "; ".join(result.details))
            time.sleep(0.05)

    def assert_source_clear(self, lay: Layout) -> None:
        """The captured area must lie in the pattern and away from the magnifier window."""
        sr = lay.source_rect
        pl, pt, pr, pb = PATTERN_RECT
        if not (pl <= sr[0] and pt <= sr[1] and sr[2] <= pr and sr[3] <= pb):
            raise CaseFailure(f"harness layout: source {sr} leaves the pattern {PATTERN_RECT}")
        win = self.probe()["window"]
        if sr[0] < win[2] and win[0] < sr[2] and sr[1] < win[3] and win[1] < sr[3]:
            raise CaseFailure(f"harness layout: source {sr} overlaps the magnifier {win}")

    def save_window(self, name: str, img: Image) -> None:
        """Saves the part of the screen around the Vimo window and any open menu."""
        rects = [self.probe()["window"], *self.menus()]
        self.save(name, img.crop(min(r[0] for r in rects) - 8, min(r[1] for r in rects) - 8,
                                 max(r[2] for r in rects) + 8, max(r[3] for r in rects) + 8))

    def caption(self) -> str:
        return self.probe()["title"]

    def wait_caption(self, test: Callable[[str], bool], what: str,
                     timeout: float = STATE_TIMEOUT) -> str:
        seen: list[str] = []

        def check() -> bool:
            seen[:] = [self.caption()]
            return test(seen[0])
        try:
            self.wait_for(what, check, timeout)
        except CaseFailure as exc:
            raise CaseFailure(f"{exc}; caption is {seen[0]!r}" if seen else str(exc)) from None
        return seen[0]

    # -- the popup menu --

    def menus(self) -> list[list[int]]:
        return self.helper("menus")["menus"]

    def open_menu(self, at: Optional[tuple[int, int]] = None) -> tuple[tuple[int, int], list[int]]:
        """Right-clicks in the magnifier's client area; returns the point and the menu rect."""
        if self.menus():
            raise CaseFailure("a popup menu is already open")
        if at is None:
            left, top, right, bottom = self.client_rect()
            at = (left + (right - left) // 2, top + (bottom - top) // 3)
        self.point_at(*at)
        self.focus_vimo()  # so that the keys which navigate the menu reach it
        self.xdotool("click", "3")
        menus = self.wait_for("the popup menu to open", self.menus)
        return at, menus[0]

    def choose(self, item: str, sub_index: Optional[int] = None) -> None:
        """Opens the popup menu and chooses `item` (in its submenu: item number sub_index)."""
        self.open_menu()
        self.navigate(item, sub_index)

    def navigate(self, item: str, sub_index: Optional[int] = None) -> None:
        downs = MENU_ITEMS.index(item) + 1
        self.xdotool("key", "--delay", "30", *(["Down"] * downs))
        if sub_index is not None:
            self.xdotool("key", "Right")
            self.wait_for("the submenu to open", lambda: len(self.menus()) >= 2)
            if sub_index > 1:
                self.xdotool("key", "--delay", "30", *(["Down"] * (sub_index - 1)))
        self.xdotool("key", "Return")
        self.wait_for("the popup menu to close", lambda: not self.menus())

    # -- vimo.exe --

    def start_vimo(self, fresh: bool = True, state: Optional[ViewState] = None) -> None:
        """(Re)starts vimo.exe and puts its window at MAGNIFIER_POS. A fresh start has its
        defaults; otherwise it reads the settings file left in the prefix, and `state` is
        what those settings give."""
        if self.vimo is not None and self.vimo.poll() is None:
            os.killpg(self.vimo.pid, signal.SIGKILL)
            self.vimo.wait(timeout=10)
            self.wait_for("the old Vimo window to go", lambda: not self.helper(
                "probe", "Vimo", allow_fail=True).get("found"), timeout=10)
        assert self.prefix is not None
        if fresh:  # no settings from an earlier start in this prefix
            for folder in self.prefix.glob("drive_c/users/*/AppData/Roaming/Vimo"):
                shutil.rmtree(folder, ignore_errors=True)
        self.state = state or ViewState()
        t0 = time.monotonic()
        self.vimo = self.start_wine([str(self.exe)], "vimo.log")
        self.wait_for("the Vimo window", lambda: self.helper("probe", "Vimo", allow_fail=True)
                      .get("found"), timeout=60, interval=0.1)
        self.vimo_seen_at = time.monotonic()
        self.timings.setdefault("vimo window up", self.vimo_seen_at - t0)
        self.started_at = self.probe()["window"]
        moved = self.helper("move", "Vimo", *map(str, MAGNIFIER_POS))
        if moved.get("window", [None, None])[:2] != list(MAGNIFIER_POS):
            raise CaseFailure(f"could not move the Vimo window to {MAGNIFIER_POS}: {moved}")

    def ensure(self, factor: int = 3, grid: bool = False, centered: bool = True,
               pointer: bool = True) -> None:
        """Brings vimo.exe's options to these values through its menu."""
        if factor != self.state.factor:
            self.choose("Magnification", factor)
            self.state.factor = factor
            self.wait_caption(lambda c: c.startswith(f"Vimo ({factor}x)"),
                              f"caption 'Vimo ({factor}x)...'")
        if grid != self.state.grid:
            self.choose("Show grid")
            self.state.grid = grid
        if centered != self.state.centered:
            self.choose("Centered to mouse" if centered else "Top left of mouse")
            self.state.centered = centered
        if pointer != self.state.pointer:
            self.choose("Show mouse pointer")
            self.state.pointer = pointer

    def close_vimo(self, *how: str) -> None:
        """Closes the Vimo window (WM_CLOSE; "minimized": minimised first) and waits until
        vimo.exe has exited."""
        assert self.vimo is not None
        self.helper("close", "Vimo", *how)
        self.wait_for("vimo.exe to exit", lambda: self.vimo.poll() is not None, timeout=10)

    def settings_file(self) -> tuple[Path, str]:
        """The settings file on the host, and its Windows path."""
        assert self.prefix is not None
        users = [u for u in (self.prefix / "drive_c/users").iterdir()
                 if u.name not in ("Public", "public") and (u / "AppData/Roaming").is_dir()]
        if len(users) != 1:
            raise CaseFailure(f"cannot tell the Wine user's folder among {users}")
        user = users[0].name
        return (users[0] / "AppData/Roaming/Vimo/Vimo.ini",
                f"C:\\users\\{user}\\AppData\\Roaming\\Vimo\\Vimo.ini")

    def size_client(self, size: tuple[int, int]) -> None:
        info = self.helper("size", "Vimo", *map(str, size))
        rect = info.get("client", [0, 0, 0, 0])
        if (rect[2] - rect[0], rect[3] - rect[1]) != size:
            raise CaseFailure(f"could not size the client area to {size}: {info}")


# ---- the cases ------------------------------------------------------------------------

P1 = (1000, 780)                 # inside the pattern, far from every edge
P2 = (1037, 803)                 # another such point
CORNER = (SCREEN_W - 1, SCREEN_H - 1)
# Client sizes that leave parts of a block over at factor 5: (263-2) % 5 == 1,
# (259-2) % 5 == 2, (227-2) % 5 == 0 and (216-2) % 5 == 4.
GROWN_CLIENT = (263, 259)
SHRUNK_CLIENT = (227, 216)
HINT_TIMEOUT = 90.0              # seconds after start by which the hint must be gone


def case_startup(h: Harness) -> None:
    """vimo.exe opens its window with the hint caption and a 200 x 199 client area."""
    h.start_vimo()
    want = f"Vimo (3x){HINT}"
    h.wait_caption(lambda c: c == want, f"caption {want!r}")
    left, top, right, bottom = h.client_rect()
    if (right - left, bottom - top) != INITIAL_CLIENT:
        raise CaseFailure(f"client area is {right - left}x{bottom - top}, expected "
                          f"{INITIAL_CLIENT[0]}x{INITIAL_CLIENT[1]} at 96 DPI")


def case_view_factor3(h: Harness) -> None:
    """Factor 3, centred on the pointer: the frame and every pixel of the view."""
    h.ensure(factor=3)
    h.point_at(*P1)
    h.expect_view(P1, "view-3x.png")
    h.save_window("vimo.png", h.last_shot)  # the picture for the README
    h.point_at(*P2)
    h.expect_view(P2)
    want = f"Vimo (3x){HINT}"
    caption = h.caption()
    if caption != want:
        raise CaseFailure(f"caption is {caption!r}, expected {want!r}")


def case_clamp(h: Harness) -> None:
    """Pointer on the desktop's bottom-right pixel: the source is clamped into the desktop."""
    h.ensure(factor=3)
    h.point_at(*CORNER)
    h.expect_view(CORNER, "view-3x-clamped.png")


def case_always_on_top(h: Harness) -> None:
    """The window starts topmost; the Always on top item takes that away and gives it back."""
    if not h.probe()["topmost"]:
        raise CaseFailure("the Vimo window is not topmost at start")
    h.choose("Always on top")
    h.wait_for("the window to leave the topmost band", lambda: not h.probe()["topmost"])
    h.choose("Always on top")
    h.wait_for("the window to be topmost again", lambda: h.probe()["topmost"])


def case_menu_and_factor5(h: Harness) -> None:
    """Right click opens the popup menu at the pointer; choosing 5 X relays the view."""
    h.ensure(factor=3)
    at, menu = h.open_menu()
    left, top, right, bottom = menu
    if top != at[1] or not left <= at[0] <= right:
        raise CaseFailure(f"menu {menu} does not open at the pointer {at}")
    img = h.screenshot()
    inside = img.crop(left + 2, top + 2, right - 2, bottom - 2)
    counts: dict[tuple[int, int, int], int] = {}
    for i in range(0, len(inside.data), 3):
        c = (inside.data[i], inside.data[i + 1], inside.data[i + 2])
        counts[c] = counts.get(c, 0) + 1
    background, count = max(counts.items(), key=lambda kv: kv[1])
    total = inside.width * inside.height
    dark = sum(n for c, n in counts.items() if sum(c) < 200)
    if background == BLACK or pattern_pixel_of(background) or count < total * 0.6 or dark == 0:
        raise CaseFailure(f"the menu's area does not look like a painted menu (main colour "
                          f"{fmt(background)} on {count} of {total} pixels, {dark} dark)")
    h.save_window("menu.png", img)
    h.navigate("Magnification", 5)
    h.state.factor = 5
    caption = h.wait_caption(lambda c: c.startswith("Vimo (5x)"), "caption 'Vimo (5x)...'")
    want = f"Vimo (5x){HINT}"
    if caption != want:
        raise CaseFailure(f"caption is {caption!r}, expected {want!r}")
    h.point_at(*P1)
    h.expect_view(P1, "view-5x.png")
    h.point_at(*P2)
    h.expect_view(P2)


def case_grid(h: Harness) -> None:
    """Show grid: grey lines at the multiples of the factor, cells show the pattern."""
    h.ensure(factor=5)
    h.choose("Show grid")
    h.state.grid = True
    h.point_at(*P1)
    h.expect_view(P1, "view-5x-grid.png")
    h.point_at(*P2)
    h.expect_view(P2)
    h.choose("Show grid")
    h.state.grid = False
    h.point_at(*P1)
    h.expect_view(P1)


def case_top_left(h: Harness) -> None:
    """Top left of mouse: the pointer's pixel is the bottom-right source pixel."""
    h.ensure(factor=5)
    h.choose("Top left of mouse")
    h.state.centered = False
    h.point_at(*P1)
    h.expect_view(P1, "view-5x-top-left.png")
    h.point_at(*P2)
    h.expect_view(P2)
    h.choose("Centered to mouse")
    h.state.centered = True
    h.point_at(*P1)
    h.expect_view(P1)


def case_show_pointer(h: Harness) -> None:
    """Without Show mouse pointer every pixel is the pattern; with it a pointer is drawn
    on the block of the pointer's pixel and nothing changes out of the pointer's reach."""
    h.ensure(factor=5)
    h.choose("Show mouse pointer")
    h.state.pointer = False
    h.point_at(*P1)
    h.expect_view(P1, "view-5x-no-pointer.png", skip_pointer=False)
    h.choose("Show mouse pointer")
    h.state.pointer = True
    h.point_at(*P1)

    def drawn_on_hot_spot() -> bool:
        h.expect_view(P1)  # all outside the pointer's reach is the pattern
        img = h.last_shot
        assert img is not None
        client = h.client_rect()
        lay = layout(h.state, client[2] - client[0], client[3] - client[1], P1)
        f = lay.factor
        bx = client[0] + 1 + f * (P1[0] - lay.src_x)
        by = client[1] + 1 + f * (P1[1] - lay.src_y)
        return any(img.pixel(bx + a, by + b) != pattern_colour(*P1)
                   for a in range(f) for b in range(f))
    h.wait_for("a pointer drawn on the block of the pointer's pixel", drawn_on_hot_spot,
               timeout=VIEW_TIMEOUT)
    h.save_window("view-5x-pointer.png", h.last_shot)


def case_resize(h: Harness) -> None:
    """Resizing relays the view in whole blocks of the factor, growing and shrinking; the
    leftover between the last block and the client edge shows nothing of the pattern."""
    h.ensure(factor=5)
    for size, shot in ((GROWN_CLIENT, "view-5x-grown.png"), (SHRUNK_CLIENT, "view-5x-shrunk.png")):
        h.size_client(size)
        h.point_at(*P1)
        h.expect_view(P1, shot, client_size=size)
        img = h.last_shot
        assert img is not None
        left, top, right, bottom = h.client_rect()
        lay = layout(h.state, right - left, bottom - top, P1)
        strays = []
        for cy in range(1, bottom - top):
            for cx in range(1, right - left):
                if cx <= lay.view_w and cy <= lay.view_h:
                    continue
                got = img.pixel(left + cx, top + cy)
                if pattern_pixel_of(got):
                    strays.append((cx, cy, got))
        if strays:
            cx, cy, got = strays[0]
            raise CaseFailure(f"client {size[0]}x{size[1]}: {len(strays)} pixels past the view "
                              f"({lay.view_w}x{lay.view_h}) show the pattern, e.g. client "
                              f"({cx},{cy}) {fmt(got)} = screen pixel {pattern_pixel_of(got)}")


def invert(c: tuple[int, int, int]) -> tuple[int, int, int]:
    return (255 - c[0], 255 - c[1], 255 - c[2])


def case_lock_by_space(h: Harness) -> None:
    """Space locks the view: it stays while the pointer moves away; space again unlocks."""
    h.ensure(factor=3, pointer=False)
    h.point_at(*P1)
    h.expect_view(P1)
    h.press("space")
    h.point_at(*P2)
    time.sleep(0.3)  # a score of ticks with the pointer elsewhere
    h.expect_view(P1, "view-3x-locked.png")
    h.press("space")
    h.expect_view(P2)


def case_stick_keys(h: Harness) -> None:
    """"m" sticks the window 24, 32 beside the pointer; Escape frees it; "M" does nothing."""
    h.point_at(300, 300)
    h.press("M")
    time.sleep(0.3)
    if h.probe()["window"][:2] != list(MAGNIFIER_POS):
        raise CaseFailure("'M' moved the window")
    h.press("m")
    for at in ((300, 300), (420, 350)):
        h.point_at(*at)
        want = [at[0] + 24, at[1] + 32]
        h.wait_for(f"the window at {want}", lambda: h.probe()["window"][:2] == want)
    h.press("Escape")
    h.point_at(500, 420)
    time.sleep(0.3)
    if h.probe()["window"][:2] != [444, 382]:
        raise CaseFailure(f"Escape did not free the window: {h.probe()['window']}")
    h.helper("move", "Vimo", *map(str, MAGNIFIER_POS))


def case_arrow_key_menu(h: Harness) -> None:
    """Releasing an arrow key opens the command menu at the pointer; Home does not."""
    at = (1000, 600)  # over the pattern, with room below for the whole menu
    h.point_at(*at)
    h.activate_vimo()
    h.press("Left")
    menu = h.wait_for("the menu to open", h.menus)[0]
    if menu[1] != at[1] or abs((menu[0] + menu[2]) // 2 - at[0]) > 1:
        raise CaseFailure(f"menu {menu} does not open centred below the pointer {at}")
    h.xdotool("key", "Escape")
    h.wait_for("the menu to close", lambda: not h.menus())
    h.press("Home")
    time.sleep(0.3)
    if h.menus():
        raise CaseFailure("Home opened the menu")


def case_lock_and_measure(h: Harness) -> None:
    """Lock and Measure from the menu: the window grows by the read-out band, inverted
    marker lines cross at the clicked and the pointed pixels, the labels are drawn."""
    h.ensure(factor=3, pointer=False)
    h.point_at(*P1)
    h.expect_view(P1)
    h.press("Down")  # the menu opens at the pointer, so the area locks around P1
    h.wait_for("the menu to open", h.menus)
    h.navigate("Lock (press 'space' to toggle)")
    left, top, right, bottom = h.client_rect()
    w, hgt = right - left, bottom - top
    h.choose("Measure")
    h.wait_for("the window to grow by the band", lambda: h.client_rect() == (
        left, top, right, bottom + 24))
    h.point_at(left + 31, top + 62)  # column 10, row 20
    h.xdotool("click", "1")
    h.point_at(left + 100, top + 40)  # column 33, row 13
    lay = layout(h.state, w, hgt, P1)  # the view keeps its size

    def marked() -> bool:
        img = h.screenshot()

        def shown(cx: int, cy: int) -> tuple[int, int, int]:
            return pattern_colour(lay.src_x + (cx - 1) // 3, lay.src_y + (cy - 1) // 3)
        lines_x, lines_y = (32, 101), (62, 41)
        for x in lines_x:
            for y in range(1, lay.view_h + 1):
                want = shown(x, y) if y in lines_y else invert(shown(x, y))
                if img.pixel(left + x, top + y) != want:
                    return False
        for y in lines_y:
            for x in range(1, lay.view_w + 1):
                want = shown(x, y) if x in lines_x else invert(shown(x, y))
                if img.pixel(left + x, top + y) != want:
                    return False
        band = img.crop(left, bottom, right, bottom + 24)
        return any(sum(band.pixel(x, y)) < 200 for x in range(w) for y in range(24))
    h.wait_for("the marker lines and the read-out", marked, timeout=VIEW_TIMEOUT)
    h.save_window("measure.png", h.last_shot)
    h.press("space")
    h.wait_for("the band to go", lambda: h.client_rect() == (left, top, right, bottom))
    h.point_at(*P2)
    h.expect_view(P2)


ABOUT_CLIENT = (235, 212)  # 3525 x 3180 twips
# Client rects (left, top, right, bottom) of lblVersion and lblCopyright, and lblHomepage.
ABOUT_TEXTS = [(24, 32, 193, 57), (24, 72, 233, 97)]
ABOUT_LINK = (24, 112, 233, 137)


def found_window(h: Harness, title: str) -> Optional[dict]:
    info = h.helper("probe", title, allow_fail=True)
    return info if info.get("found") else None


def case_about(h: Harness) -> None:
    """About ...: a topmost window "About Vimo" on white with the version and copyright
    lines in black and the link in blue; Escape closes it."""
    h.choose("About ...")
    info = h.wait_for("the About window", lambda: found_window(h, "About Vimo"))
    left, top, right, bottom = info["client"]
    if info["title"] != "About Vimo" or not info["topmost"] or \
            (right - left, bottom - top) != ABOUT_CLIENT:
        raise CaseFailure(f"not the topmost 'About Vimo' of {ABOUT_CLIENT} pixels: {info}")
    img = h.screenshot()

    def count(rect: tuple[int, int, int, int], test: Callable[[tuple[int, int, int]], bool]) -> int:
        return sum(1 for y in range(top + rect[1], top + rect[3])
                   for x in range(left + rect[0], left + rect[2]) if test(img.pixel(x, y)))
    white = count((0, 0, *ABOUT_CLIENT), lambda c: c == (255, 255, 255))
    if white < 0.6 * math.prod(ABOUT_CLIENT) \
            or any(count(rect, lambda c: sum(c) < 150) < 30 for rect in ABOUT_TEXTS) \
            or count(ABOUT_LINK, lambda c: c == (0, 0, 255)) < 30:
        raise CaseFailure("the About window does not show black texts and a blue link on white")
    # Without a window manager the frame is not drawn: the picture is the client area.
    h.save("about.png", img.crop(left, top, right, bottom))
    h.focus_window("^About Vimo$", info["window"])
    h.xdotool("key", "Escape")
    h.wait_for("Escape to close the About window", lambda: not found_window(h, "About Vimo"))
    # The magnifier is active again (Wine may take a moment to hand its X focus back).
    h.focus_vimo()
    h.wait_for("the Vimo window to be the foreground window", lambda: h.probe()["foreground"])


def case_grid_colour(h: Harness) -> None:
    """Grid color ...: 255, 0, 0 typed into the colour dialog's fields and OK turn the
    grid red at once."""
    h.ensure(factor=5, grid=True)
    h.choose("Grid color ...")
    dialog = h.wait_for("the colour dialog", lambda: found_window(h, "Color"))
    h.focus_window("^Color$", dialog["window"])
    # A field reached by its access key has its text selected, so typing replaces it.
    for key, value in (("alt+r", "255"), ("alt+g", "0"), ("alt+b", "0")):
        h.xdotool("key", key)
        h.xdotool("type", "--delay", "50", value)
    h.save("colour-dialog.png", h.screenshot().crop(*dialog["window"]))
    h.xdotool("key", "Return")
    h.wait_for("OK to close the colour dialog", lambda: not found_window(h, "Color"))
    h.state.grid_colour = (255, 0, 0)
    h.point_at(*P1)
    h.expect_view(P1, "grid-colour.png")


def expected_settings(h: Harness, changed: dict[str, int], cursor: tuple[int, int]) -> bytes:
    """The settings file as vimo.exe must write it for the present window and options,
    with the `changed` keys the harness does not follow itself."""
    client = h.client_rect()
    lay = layout(h.state, client[2] - client[0], client[3] - client[1], cursor)
    left, top, right, bottom = h.probe()["window"]
    twips = 15  # 96 DPI
    values = [("FactorIndex", h.state.factor), ("GridColor", 0xC0C0C0),
              ("Grid", -int(h.state.grid)), ("Sticked", 0), ("Centered", -int(h.state.centered)),
              ("Measure", 0), ("Locked", 0), ("XPos", lay.src_x), ("YPos", lay.src_y),
              ("TopWindow", -1), ("CursorOn", -int(h.state.pointer)),
              ("Width", (right - left) * twips), ("Height", (bottom - top) * twips),
              ("Left", left * twips), ("Top", top * twips), ("SlowMouse", 0)]
    return ("[Settings]\r\n" + "".join(f"{k}={changed.get(k, v)}\r\n"
                                         for k, v in values)).encode()


def case_settings_survive(h: Harness) -> None:
    """Options chosen in the menu are written at exit, byte for byte, and come back at the
    next start: factor, grid, top-left placement, not on top, no pointer, the locked
    area; and the window comes back where it was."""
    h.start_vimo()
    h.ensure(factor=6, grid=True, centered=False, pointer=False)
    h.choose("Always on top")
    h.wait_for("the window to leave the topmost band", lambda: not h.probe()["topmost"])
    h.point_at(*P1)
    h.expect_view(P1)
    h.press("space")  # locked around P1
    want = expected_settings(h, {"TopWindow": 0, "Locked": -1}, P1)
    window = h.probe()["window"]
    chosen = h.state
    h.close_vimo("minimized")  # what is saved is the normal place, not the minimised stub
    path, _ = h.settings_file()
    got = path.read_bytes() if path.is_file() else b"(no file)"
    if got != want:
        raise CaseFailure(f"settings file is {got!r}, expected {want!r}")
    h.start_vimo(fresh=False, state=chosen)
    if h.started_at != window:
        raise CaseFailure(f"the window came back at {h.started_at}, it was closed at {window}")
    h.wait_caption(lambda c: c == f"Vimo (6x){HINT}", "caption 'Vimo (6x)...'")
    if h.probe()["topmost"]:
        raise CaseFailure("the window is topmost again, it was not when closed")
    h.point_at(*P2)
    h.expect_view(P1, "settings-restored-6x-grid-top-left.png")  # still locked at P1


def case_settings_write_protected(h: Harness) -> None:
    """A settings file another program holds open: closing Vimo shows the "Vimo Error"
    message naming the file on its own line, writes nothing, and Vimo exits after OK."""
    path, windows_path = h.settings_file()
    if not path.is_file():  # run on its own: a first run leaves a settings file
        h.start_vimo()
        h.close_vimo()
    h.start_vimo(fresh=False, state=h.state)
    before = path.read_bytes()
    holder = h.start_wine([str(h.pattern_exe), "hold", windows_path], "hold.log",
                          read_stdout=True)
    try:
        ready, _, _ = select.select([holder.stdout], [], [], 30)
        if not ready or b'"held": true' not in holder.stdout.readline():
            raise CaseFailure(f"the helper could not open {windows_path}")
        h.helper("close", "Vimo")
        box = h.wait_for("the Vimo Error message box",
                         lambda: h.helper("dialog", "Vimo Error", allow_fail=True).get("found")
                         and h.helper("dialog", "Vimo Error"))
        want = ("File access denied. Cannot save settings.\r\nPlease make sure that the file"
                f"\r\n{windows_path}\r\nis not write protected or opened by another program.")
        if box["texts"] != [want]:
            raise CaseFailure(f"the message says {box['texts']!r}, expected [{want!r}]")
        img = h.screenshot()
        wl, wt, wr, wb = box["window"]
        h.save("settings-error.png", img.crop(wl - 8, wt - 8, wr + 8, wb + 8))
        ok = [b for b in box["buttons"] if b["text"].replace("&", "") == "OK"]
        if len(box["buttons"]) != 1 or not ok:
            raise CaseFailure(f"the message box has the buttons {box['buttons']}, expected OK")
        bl, bt, br, bb = ok[0]["rect"]
        h.xdotool("mousemove", str((bl + br) // 2), str((bt + bb) // 2), "click", "1")
        h.wait_for("vimo.exe to exit after OK", lambda: h.vimo.poll() is not None, timeout=10)
    finally:
        os.killpg(holder.pid, signal.SIGKILL)
    if path.read_bytes() != before:
        raise CaseFailure("the settings file changed although it could not be written")


def case_settings_garbage(h: Harness) -> None:
    """A settings file of garbage: Vimo starts with its defaults."""
    path, _ = h.settings_file()
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(b"\x00\xff[Settings\r\nFactorIndex=zz\n[Settings]\nGrid\nCentered=\r\n"
                     b"Width=-5\nHeight=abc\nFactorIndex=99\nGridColor=-1\n\x1a")
    h.start_vimo(fresh=False)
    h.wait_caption(lambda c: c == f"Vimo (3x){HINT}", "caption 'Vimo (3x)...'")
    if not h.probe()["topmost"]:
        raise CaseFailure("the window is not topmost")
    left, top, right, bottom = h.client_rect()
    if (right - left) != INITIAL_CLIENT[0]:
        raise CaseFailure(f"client area is {right - left} wide, expected {INITIAL_CLIENT[0]}")
    h.point_at(*P1)
    h.expect_view(P1, "settings-garbage-defaults.png")


def case_hint_expires(h: Harness) -> None:
    """After 2000 ticks (about 30 s) of a fresh start the caption drops the hint."""
    h.start_vimo()
    assert h.vimo_seen_at is not None
    earliest = HINT_TICKS * TICK_MS / 1000 - 1.0
    want = f"Vimo ({h.state.factor}x)"
    caption = h.caption()
    if caption != want + HINT:
        raise CaseFailure(f"caption is {caption!r} after {time.monotonic() - h.vimo_seen_at:.1f}"
                          f" s, expected {want + HINT!r} until 2000 ticks have passed")
    remaining = h.vimo_seen_at + HINT_TIMEOUT - time.monotonic()
    caption = h.wait_caption(lambda c: c != want + HINT, "the hint to leave the caption",
                             timeout=max(remaining, 1.0))
    elapsed = time.monotonic() - h.vimo_seen_at
    h.timings["hint shown"] = elapsed
    if caption != want:
        raise CaseFailure(f"caption is {caption!r}, expected {want!r}")
    if elapsed < earliest:
        raise CaseFailure(f"the hint left after {elapsed:.1f} s, before 2000 ticks of 15 ms")


CASES: list[Callable[[Harness], None]] = [
    case_startup,
    case_view_factor3,
    case_clamp,
    case_always_on_top,
    case_menu_and_factor5,
    case_grid,
    case_top_left,
    case_show_pointer,
    case_resize,
    case_lock_by_space,
    case_stick_keys,
    case_arrow_key_menu,
    case_lock_and_measure,
    case_about,
    case_grid_colour,
    case_settings_survive,
    case_settings_write_protected,
    case_settings_garbage,
    case_hint_expires,
]


# ---- main -----------------------------------------------------------------------------

def parse_args() -> argparse.Namespace:
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--exe", default=str(REPO / "build/mingw/vimo.exe"))
    p.add_argument("--pattern", default=str(REPO / "build/mingw/tests/e2e/vimo_pattern.exe"))
    p.add_argument("--out", default=str(REPO / "build/e2e"))
    p.add_argument("--prefix-cache", default=str(REPO / "build/e2e-wineprefix"),
                   help="where a booted Wine prefix is kept to copy from")
    p.add_argument("--no-cache", action="store_true", help="boot a new prefix template")
    p.add_argument("--case", action="append", default=[], metavar="NAME",
                   help="run only this case (without the case_ prefix); may be repeated")
    return p.parse_args()


def main() -> int:
    args = parse_args()
    for tool in ("Xvfb", "xdotool", "import", "wine", "wineboot", "wineserver"):
        if shutil.which(tool) is None:
            print(f"e2e: {tool} not found", file=sys.stderr)
            return 2
    for path in (args.exe, args.pattern):
        if not Path(path).is_file():
            print(f"e2e: {path} not found (build with the mingw preset first)", file=sys.stderr)
            return 2

    names = [case.__name__.removeprefix("case_") for case in CASES]
    unknown = [name for name in args.case if name not in names]
    if unknown:
        print(f"e2e: no case {', '.join(unknown)}; the cases are {', '.join(names)}",
              file=sys.stderr)
        return 2
    cases = [case for case in CASES
             if not args.case or case.__name__.removeprefix("case_") in args.case]

    def stop(signum, _frame):
        raise KeyboardInterrupt(f"signal {signum}")
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, stop)

    h = Harness(args)
    h.out.mkdir(parents=True, exist_ok=True)
    for old in h.out.glob("*.png"):
        old.unlink()
    results: list[tuple[str, bool, str, float]] = []
    started = time.monotonic()
    try:
        t0 = time.monotonic()
        h.start_xvfb()
        h.prepare_prefix()
        pattern = h.start_wine([str(h.pattern_exe), "show", str(PATTERN_RECT[0]),
                                str(PATTERN_RECT[1]), str(PATTERN_RECT[2] - PATTERN_RECT[0]),
                                str(PATTERN_RECT[3] - PATTERN_RECT[1])], "pattern.log",
                              read_stdout=True)
        ready, _, _ = select.select([pattern.stdout], [], [], 60)
        line = pattern.stdout.readline() if ready else b""
        if b'"shown": true' not in line:
            raise RuntimeError(f"the pattern window did not come up: {line!r}")
        h.timings["setup"] = time.monotonic() - t0
        print(f"e2e: display {h.display}, prefix {h.prefix}, exe {h.exe}", flush=True)

        # Every case but the first needs vimo.exe running.
        restart = cases[0] is not case_startup
        for case in cases:
            name = case.__name__.removeprefix("case_")
            t0 = time.monotonic()
            h.last_shot = None
            try:
                if restart:
                    # A failed case leaves vimo.exe in a state the harness does not know:
                    # start it again with its defaults.
                    h.start_vimo()
                    restart = False
                case(h)
                ok, message = True, ""
            except CaseFailure as exc:
                ok, message = False, str(exc)
            except Exception:  # a harness or tool error still fails just this case
                ok, message = False, traceback.format_exc(limit=3).strip()
            elapsed = time.monotonic() - t0
            if not ok:
                restart = True
                try:  # the picture the failed check looked at, else a new one
                    h.save(f"fail-{name}.png", h.last_shot or h.screenshot())
                except Exception:
                    pass
                # Leave no menu open for the next case.
                try:
                    if h.menus():
                        h.xdotool("key", "Escape", "Escape", "Escape")
                except Exception:
                    pass
            results.append((name, ok, message, elapsed))
            print(f"{'PASS' if ok else 'FAIL'} {name} ({elapsed:.1f} s)"
                  f"{'' if ok else ': ' + message}", flush=True)
    except KeyboardInterrupt as exc:
        print(f"e2e: interrupted ({exc})", file=sys.stderr)
        results.append(("run", False, "interrupted", 0.0))
    except Exception as exc:
        print(f"e2e: setup failed: {exc}", file=sys.stderr)
        results.append(("setup", False, str(exc), 0.0))
    finally:
        h.close()
    h.timings["total"] = time.monotonic() - started
    (h.out / "results.json").write_text(json.dumps({
        "cases": [{"name": n, "passed": ok, "message": m, "seconds": round(s, 2)}
                  for n, ok, m, s in results],
        "timings": {k: round(v, 2) for k, v in h.timings.items()},
    }, indent=2))
    print("e2e timings: " + ", ".join(f"{k} {v:.1f} s" for k, v in h.timings.items()))
    passed = sum(1 for r in results if r[1])
    failed = len(results) - passed
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
