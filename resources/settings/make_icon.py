#!/usr/bin/env python3
"""Draws icon 104, the settings program's window icon: a white envelope on
green with an orange cog in the lower right, 32 x 32 RGBA. Run it to remake
icon_104.png."""
import math
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from png_writer import write_png  # noqa: E402

SIZE = 32
GREEN = (40, 140, 80, 255)
WHITE = (250, 250, 250, 255)
EDGE = (60, 60, 60, 255)
ORANGE = (235, 140, 20, 255)
CLEAR = (0, 0, 0, 0)


def in_rounded_square(x, y):
    corner = 5
    cx = min(max(x, corner), SIZE - 1 - corner)
    cy = min(max(y, corner), SIZE - 1 - corner)
    return (x - cx) ** 2 + (y - cy) ** 2 <= corner ** 2


def on_cog(x, y):
    dx, dy = x - 23.5, y - 23.5
    radius = math.hypot(dx, dy)
    teeth = 5.5 + 1.3 * (math.cos(8 * math.atan2(dy, dx)) > 0)
    return 2.0 <= radius <= teeth


def pixel(x, y):
    if not in_rounded_square(x, y):
        return CLEAR
    colour = GREEN
    if 4 <= x <= 24 and 7 <= y <= 21:
        colour = WHITE
        on_border = x in (4, 24) or y in (7, 21)
        # The flap: two lines from the top corners to the middle.
        on_flap = abs((y - 7) - (x - 4) * 7 / 10) < 0.8 or abs((y - 7) - (24 - x) * 7 / 10) < 0.8
        if on_border or (on_flap and y <= 14):
            colour = EDGE
    if on_cog(x, y):
        colour = ORANGE
    return colour


write_png(pathlib.Path(__file__).with_name("icon_104.png"), SIZE, SIZE, pixel)
