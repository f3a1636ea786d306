#!/usr/bin/env python3
"""Draws icon 105, the help viewer's window icon: a blue book with a white
question mark, 32 x 32 RGBA. Run it to remake icon_105.png."""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from png_writer import write_png  # noqa: E402

SIZE = 32
BLUE = (30, 80, 170, 255)
SPINE = (20, 50, 110, 255)
PAGES = (245, 245, 235, 255)
WHITE = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)

# The question mark on a 5 x 9 grid, drawn two pixels a cell.
MARK = ["01110",
        "10001",
        "00001",
        "00010",
        "00100",
        "00100",
        "00000",
        "00100",
        "00100"]


def pixel(x, y):
    if not (5 <= x <= 27 and 3 <= y <= 28):
        return CLEAR
    if y >= 26:
        return PAGES if x >= 8 else SPINE
    if x <= 7:
        return SPINE
    cx, cy = (x - 11) // 3, (y - 5) // 2
    if 0 <= cx < 5 and 0 <= cy < 9 and MARK[cy][cx] == "1":
        return WHITE
    return BLUE


write_png(pathlib.Path(__file__).resolve().parent / "icon_105.png", SIZE, SIZE, pixel)
