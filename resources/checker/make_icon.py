#!/usr/bin/env python3
"""Draws icon 106, the checker's notification icon: a white envelope with a
red check mark on blue, 32 x 32 RGBA. Run it to remake icon_106.png."""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from png_writer import write_png  # noqa: E402

SIZE = 32
BLUE = (30, 80, 170, 255)
WHITE = (250, 250, 250, 255)
EDGE = (60, 60, 60, 255)
RED = (210, 30, 30, 255)
CLEAR = (0, 0, 0, 0)


def pixel(x, y):
    if (x - 15.5) ** 2 + (y - 15.5) ** 2 > 15.5 ** 2:
        return CLEAR
    colour = BLUE
    if 5 <= x <= 26 and 9 <= y <= 23:
        colour = WHITE
        on_border = x in (5, 26) or y in (9, 23)
        # The flap: two lines from the top corners to the middle.
        on_flap = abs((y - 9) - (x - 5) * 7 / 11) < 0.8 or abs((y - 9) - (26 - x) * 7 / 11) < 0.8
        if on_border or (on_flap and y <= 16):
            colour = EDGE
    # A check mark over the lower right corner.
    if (abs(y - (x + 2)) < 1.3 and 17 <= x <= 21) or (abs(y - (44 - x)) < 1.3 and 21 <= x <= 28):
        colour = RED
    return colour


write_png(pathlib.Path(__file__).with_name("icon_106.png"), SIZE, SIZE, pixel)
