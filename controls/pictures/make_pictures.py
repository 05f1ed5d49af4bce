#!/usr/bin/python3
"""Draws the buttons' 24 x 24 pictures (PNG with transparency) and the resource script that
ships them under their names.

Usage: make_pictures.py OUTPUT_DIR   (writes OUTPUT_DIR/*.png and OUTPUT_DIR/pictures.rc)

Each picture is a union of simple shapes minus holes, sampled 4 x 4 per pixel so that the
edges come out smooth.
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake"))
from png_file import encode_rgba  # noqa: E402

SIZE = 24
SUB = 4

COLOURS = {
    "WHITE": (255, 255, 255),
    "BLACK": (33, 37, 41),
    "GRAY": (108, 117, 125),
    "GREEN": (41, 170, 69),
    "RED": (218, 55, 71),
    "BLUE": (44, 111, 254),
    "YELOOW": (222, 172, 15),
    "DISABLED": (173, 181, 189),
    "OUTLINE": (39, 160, 184),
}


# Shapes: functions of (x, y) in picture pixels (0..24) answering whether the point is inside.
def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, w):
    return lambda x, y: (r - w) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rrect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def frame(x0, y0, x1, y1, w, r=0.0):
    outer, inner = rrect(x0, y0, x1, y1, r), rrect(x0 + w, y0 + w, x1 - w, y1 - w, max(r - w, 0))
    return lambda x, y: outer(x, y) and not inner(x, y)


def line(x0, y0, x1, y1, w):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        px, py = x0 + t * dx, y0 + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (w / 2) ** 2
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, *holes):
    return lambda x, y: shape(x, y) and not any(h(x, y) for h in holes)


def heart_shape(scale=1.0):
    def inside(x, y):
        # The classic implicit heart, centred and scaled to the picture.
        u = (x - 12) / (8.5 * scale)
        v = -(y - 12.5) / (8.5 * scale)
        return (u * u + v * v - 1) ** 3 - u * u * v ** 3 <= 0
    return inside


def gear():
    def inside(x, y):
        dx, dy = x - 12, y - 12
        r = math.hypot(dx, dy)
        a = math.atan2(dy, dx)
        tooth = (math.cos(8 * a) > 0.2)
        outer = 10 if tooth else 7.8
        return 3.6 <= r <= outer
    return inside


SHAPES = {
    "SAVE": minus(rrect(3, 3, 21, 21, 2), rect(7, 3.5, 15, 9), rect(7, 13, 17, 20.5)),
    "CANCEL": union(ring(12, 12, 9.5, 2.4), line(5.5, 18.5, 18.5, 5.5, 2.6)),
    "EDIT": union(line(6, 18, 17, 7, 4.2), polygon([(3.5, 20.5), (4.6, 15.6), (8.4, 19.4)]),
                  line(18.2, 5.8, 19.5, 4.5, 4.2)),
    "DELETE": union(rect(4, 5, 20, 7), rect(9, 3, 15, 5),
                    minus(polygon([(5.5, 8.5), (18.5, 8.5), (17.2, 21), (6.8, 21)]),
                          rect(9, 11, 10.4, 18.5), rect(13.6, 11, 15, 18.5))),
    "PRINT": union(frame(7, 3, 17, 9, 1.8), minus(rrect(3, 9, 21, 18, 2), rect(6.5, 13, 17.5, 18)),
                   frame(7, 13, 17, 21, 1.8)),
    "GEAR": gear(),
    "MENU": union(rrect(3, 5, 21, 7.6, 1.2), rrect(3, 10.7, 21, 13.3, 1.2),
                  rrect(3, 16.4, 21, 19, 1.2)),
    "HEART": heart_shape(),
    "HEART_OUTLINE": minus(heart_shape(), heart_shape(0.72)),
    "EMAIL": union(frame(2.5, 5, 21.5, 19, 1.8, 1.5), line(3.5, 6.5, 12, 13, 2),
                   line(20.5, 6.5, 12, 13, 2)),
    "INSERT": union(rrect(10.6, 4, 13.4, 20, 1), rrect(4, 10.6, 20, 13.4, 1)),
    "BACK": union(line(4.5, 12, 19.5, 12, 2.8), line(4.5, 12, 11, 5.5, 2.8),
                  line(4.5, 12, 11, 18.5, 2.8)),
    "NEXT": union(line(4.5, 12, 19.5, 12, 2.8), line(19.5, 12, 13, 5.5, 2.8),
                  line(19.5, 12, 13, 18.5, 2.8)),
    "CLOSE": union(line(5.5, 5.5, 18.5, 18.5, 2.8), line(5.5, 18.5, 18.5, 5.5, 2.8)),
    "REPORT": union(minus(polygon([(5, 2.5), (15, 2.5), (19.5, 7), (19.5, 21.5), (5, 21.5)]),
                          polygon([(6.8, 4.3), (14.2, 4.3), (17.7, 7.8), (17.7, 19.7), (6.8, 19.7)])),
                    rect(8.5, 9, 16, 10.5), rect(8.5, 12.5, 16, 14), rect(8.5, 16, 13.5, 17.5)),
    "INSTALL": union(line(12, 3, 12, 14.5, 2.8), line(12, 15, 6.5, 9.5, 2.8),
                     line(12, 15, 17.5, 9.5, 2.8), rect(3.5, 15.5, 5.3, 21), rect(3.5, 19.2, 20.5, 21),
                     rect(18.7, 15.5, 20.5, 21)),
}

# (shape, colour) of every picture the buttons name.
PICTURES = {
    "PICTURE_SAVE_WHITE": ("SAVE", "WHITE"), "PICTURE_SAVE_GREEN": ("SAVE", "GREEN"),
    "PICTURE_CANCEL_WHITE": ("CANCEL", "WHITE"), "PICTURE_CANCEL_GRAY": ("CANCEL", "GRAY"),
    "PICTURE_EDIT_WHITE": ("EDIT", "WHITE"), "PICTURE_EDIT_YELOOW": ("EDIT", "YELOOW"),
    "PICTURE_EDIT_DISABLED": ("EDIT", "DISABLED"),
    "PICTURE_DELETE_WHITE": ("DELETE", "WHITE"), "PICTURE_DELETE_RED": ("DELETE", "RED"),
    "PICTURE_PRINT_WHITE": ("PRINT", "WHITE"), "PICTURE_PRINT_BLUE": ("PRINT", "BLUE"),
    "PICTURE_GEAR_WHITE": ("GEAR", "WHITE"), "PICTURE_GEAR_BLUE": ("GEAR", "BLUE"),
    "PICTURE_MENU_WHITE": ("MENU", "WHITE"), "PICTURE_MENU_BLUE": ("MENU", "BLUE"),
    "PICTURE_HEART_WHITE": ("HEART", "WHITE"), "PICTURE_HEART_OUTLINE": ("HEART_OUTLINE", "OUTLINE"),
    "PICTURE_EMAIL_GRAY": ("EMAIL", "GRAY"), "PICTURE_EMAIL_WHITE": ("EMAIL", "WHITE"),
    "PICTURE_INSERT_WHITE": ("INSERT", "WHITE"), "PICTURE_INSERT_GREEN": ("INSERT", "GREEN"),
    "PICTURE_BACK_BLACK": ("BACK", "BLACK"), "PICTURE_BACK_WHITE": ("BACK", "WHITE"),
    "PICTURE_CLOSE_WHITE": ("CLOSE", "WHITE"), "PICTURE_CLOSE_RED": ("CLOSE", "RED"),
    "PICTURE_REPORT_WHITE": ("REPORT", "WHITE"), "PICTURE_REPORT_BLUE": ("REPORT", "BLUE"),
    # The wizard's own page buttons.
    "PICTURE_INSTALL_WHITE": ("INSTALL", "WHITE"), "PICTURE_NEXT_WHITE": ("NEXT", "WHITE"),
}


def render(shape, colour):
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # PNG filter: none
        for px in range(SIZE):
            hits = sum(shape(px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB)
                       for sy in range(SUB) for sx in range(SUB))
            alpha = round(255 * hits / (SUB * SUB))
            row += bytes(colour if alpha else (0, 0, 0)) + bytes([alpha])
        rows.append(bytes(row))
    return b"".join(rows)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    lines = ["// Generated by make_pictures.py: the buttons' pictures.\n"]
    for name, (shape, colour) in sorted(PICTURES.items()):
        with open(os.path.join(out, name + ".png"), "wb") as f:
            f.write(encode_rgba(SIZE, SIZE, render(SHAPES[shape], COLOURS[colour])))
        path = os.path.abspath(os.path.join(out, name + ".png"))
        lines.append('%s RCDATA "%s"\n' % (name, path))
    with open(os.path.join(out, "pictures.rc"), "w") as f:
        f.writelines(lines)


if __name__ == "__main__":
    main()
