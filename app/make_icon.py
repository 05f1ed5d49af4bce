#!/usr/bin/env python3
"""Draws the program's icon (window, taskbar, Alt+Tab) and writes it as an .ico file.

The picture is the product's own: a purple rounded square, the orange progress ring of the
wizard's gauge three-quarters full, and a white V inside. Drawn with signed distances, so every
size is anti-aliased without supersampling. Sizes up to 48 go in as 32-bit bitmaps, 256 as PNG.

Usage: make_icon.py OUTPUT.ico
"""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cmake"))
from png_file import encode_rgba  # noqa: E402

PURPLE = (102, 45, 145)
ORANGE = (255, 128, 0)
WHITE = (255, 255, 255)
SIZES = (16, 24, 32, 48, 256)


def rounded_square(x, y, half, radius):
    qx = abs(x) - (half - radius)
    qy = abs(y) - (half - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def arc(x, y, radius, width, sweep_degrees):
    """Distance to a ring segment starting at the top and running clockwise."""
    angle = math.degrees(math.atan2(x, -y)) % 360.0  # 0 at the top, clockwise
    if angle <= sweep_degrees:
        return abs(math.hypot(x, y) - radius) - width / 2
    # Past the end: distance to the nearer round cap.
    caps = []
    for a in (0.0, sweep_degrees):
        r = math.radians(a)
        caps.append(math.hypot(x - radius * math.sin(r), y + radius * math.cos(r)) - width / 2)
    return min(caps)


def segment(x, y, ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy) - width / 2


def coverage(distance_px):
    return max(0.0, min(1.0, 0.5 - distance_px))


def over(dst, colour, alpha):
    r, g, b, a = dst
    out_a = alpha + a * (1 - alpha)
    if out_a <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    mix = lambda c, d: (c * alpha + d * a * (1 - alpha)) / out_a
    return (mix(colour[0], r), mix(colour[1], g), mix(colour[2], b), out_a)


def render(size):
    """Rows top to bottom of (r, g, b, a) bytes."""
    scale = size / 2.0  # shape units: -1..1 across the icon
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            x = (px + 0.5) / scale - 1.0
            y = (py + 0.5) / scale - 1.0
            pixel = (0.0, 0.0, 0.0, 0.0)
            pixel = over(pixel, PURPLE, coverage(rounded_square(x, y, 0.97, 0.26) * scale))
            ring_width = 0.16 if size > 24 else 0.2
            pixel = over(pixel, ORANGE, coverage(arc(x, y, 0.64, ring_width, 270.0) * scale))
            stroke = 0.17 if size > 24 else 0.22
            v = min(segment(x, y, -0.3, -0.3, 0.0, 0.34, stroke),
                    segment(x, y, 0.3, -0.3, 0.0, 0.34, stroke))
            pixel = over(pixel, WHITE, coverage(v * scale))
            row.append(tuple(int(round(c)) for c in pixel[:3]) + (int(round(pixel[3] * 255)),))
        rows.append(row)
    return rows


def dib(size, rows):
    # BITMAPINFOHEADER with twice the height (colour and mask), rows bottom-up, BGRA.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for i, p in enumerate(row):
            if p[3] == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bytes(bits)
    return header + colour + mask


def main():
    images = []
    for size in SIZES:
        rows = render(size)
        if size >= 256:
            raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)
            images.append((size, encode_rgba(size, size, raw)))
        else:
            images.append((size, dib(size, rows)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
