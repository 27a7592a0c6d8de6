#!/usr/bin/env python3
"""Draws Vimo's application icon, a magnifying glass, at 16, 32 and 48 pixels and
writes it as src/platform/win32/vimo.ico (32-bit BMP entries with alpha).

Plain Python 3, nothing to install. Each pixel is sampled 8 x 8 times and the samples
are composited and averaged, which gives the edges their anti-aliasing.

    python3 tools/make_icon.py [--out FILE.ico] [--preview FILE.png]

--preview also writes the three sizes side by side, four times enlarged, on a
checkerboard, so the drawing can be looked at.
"""

import argparse
import math
import os
import struct
import zlib

SIZES = (16, 32, 48)
SAMPLES = 8

# The drawing, in a unit square (0,0 top left .. 1,1 bottom right).
LENS_CENTRE = (0.39, 0.39)
LENS_RADIUS = 0.33          # outer edge of the rim
RIM_WIDTH = 0.095
HANDLE_START = 0.63         # along the diagonal through the lens centre
HANDLE_END = 0.91
HANDLE_WIDTH = 0.17

RIM = (38, 58, 92, 255)
RIM_LIGHT = (120, 150, 200, 255)
GLASS = (190, 225, 255, 170)
GLINT = (255, 255, 255, 220)
HANDLE = (92, 52, 28, 255)
HANDLE_LIGHT = (160, 100, 60, 255)


def segment_distance(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)
    t = max(0.0, min(1.0, t))
    dx, dy = px - (ax + t * vx), py - (ay + t * vy)
    return math.hypot(dx, dy), t


def sample(x, y, size):
    """The colour at one point of the unit square, as premultiplied RGBA floats."""
    # Thin strokes would vanish at 16 px: keep the rim at least 1.4 pixels wide.
    rim = max(RIM_WIDTH, 1.4 / size)
    layers = []

    # Handle: a capsule on the diagonal, with a lighter stripe along its upper side.
    a = HANDLE_START
    b = HANDLE_END
    d, _ = segment_distance(x, y, a, a, b, b)
    if d <= HANDLE_WIDTH / 2:
        # Signed offset across the handle: negative towards the top right.
        across = ((x - a) - (y - a)) / math.sqrt(2.0)
        layers.append(HANDLE_LIGHT if across > HANDLE_WIDTH * 0.12 else HANDLE)

    cx, cy = LENS_CENTRE
    r = math.hypot(x - cx, y - cy)
    inner = LENS_RADIUS - rim
    if r <= inner:
        layers.append(GLASS)
        # A crescent of light in the upper left of the glass.
        g1 = math.hypot(x - (cx - 0.07), y - (cy - 0.07))
        g2 = math.hypot(x - (cx - 0.03), y - (cy - 0.03))
        if g1 <= inner * 0.72 and g2 > inner * 0.70:
            layers.append(GLINT)
    if inner < r <= LENS_RADIUS:
        # The rim, lit along its inner edge.
        layers.append(RIM_LIGHT if r - inner < rim * 0.3 and size >= 32 else RIM)

    out = [0.0, 0.0, 0.0, 0.0]
    for (lr, lg, lb, la) in layers:
        alpha = la / 255.0
        for i, c in enumerate((lr, lg, lb)):
            out[i] = c / 255.0 * alpha + out[i] * (1.0 - alpha)
        out[3] = alpha + out[3] * (1.0 - alpha)
    return out


def render(size):
    """Rows of (r, g, b, a) byte tuples, top row first."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    s = sample(x, y, size)
                    for i in range(4):
                        acc[i] += s[i]
            alpha = acc[3] / n
            if alpha <= 0.0:
                row.append((0, 0, 0, 0))
                continue
            # Back from premultiplied to straight colour.
            rgb = tuple(min(255, round(acc[i] / n / alpha * 255)) for i in range(3))
            row.append(rgb + (round(alpha * 255),))
        rows.append(row)
    return rows


def bmp_entry(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def write_ico(path, images):
    entries = []
    data = b""
    offset = 6 + 16 * len(images)
    for rows in images:
        size = len(rows)
        blob = bmp_entry(rows)
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob),
                                   offset + len(data)))
        data += blob
    with open(path, "wb") as out:
        out.write(struct.pack("<HHH", 0, 1, len(images)))
        for entry in entries:
            out.write(entry)
        out.write(data)


def write_png(path, rows):
    height = len(rows)
    width = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        out.write(chunk(b"IEND", b""))


def preview(images, scale=4, gap=8):
    width = sum(len(r) * scale for r in images) + gap * (len(images) + 1)
    height = max(len(r) for r in images) * scale + 2 * gap
    canvas = []
    for y in range(height):
        canvas.append([(200, 200, 200, 255) if ((x // 8) + (y // 8)) % 2 else (240, 240, 240, 255)
                       for x in range(width)])
    left = gap
    for rows in images:
        for y, row in enumerate(rows):
            for x, (r, g, b, a) in enumerate(row):
                for dy in range(scale):
                    for dx in range(scale):
                        cy, cx = gap + y * scale + dy, left + x * scale + dx
                        br, bg, bb, _ = canvas[cy][cx]
                        f = a / 255.0
                        canvas[cy][cx] = (round(r * f + br * (1 - f)), round(g * f + bg * (1 - f)),
                                          round(b * f + bb * (1 - f)), 255)
        left += len(rows) * scale + gap
    return canvas


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_out = os.path.join(here, "..", "src", "platform", "win32", "vimo.ico")
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.normpath(default_out))
    parser.add_argument("--preview")
    args = parser.parse_args()
    images = [render(size) for size in SIZES]
    write_ico(args.out, images)
    if args.preview:
        write_png(args.preview, preview(images))


if __name__ == "__main__":
    main()
