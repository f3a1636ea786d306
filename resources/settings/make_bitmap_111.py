#!/usr/bin/env python3
"""Draws bitmap 111, the face of the basic page's account switch: a person
beside an arrow that points to the next account, 23 x 17 on the button's
grey. Run it to remake bitmap_111.png."""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from png_writer import write_png  # noqa: E402

WIDTH, HEIGHT = 23, 17
FACE = (192, 192, 192, 255)
PERSON = (30, 70, 150, 255)
ARROW = (20, 20, 20, 255)


def pixel(x, y):
    # Head and shoulders on the left half.
    if (x - 6) ** 2 + (y - 5) ** 2 <= 3.2 ** 2:
        return PERSON
    if 10 <= y <= 15 and (x - 6) ** 2 / 5.5 ** 2 + (y - 15) ** 2 / 5.5 ** 2 <= 1:
        return PERSON
    # An arrow on the right: a shaft and a head pointing right.
    if 8 <= y <= 9 and 13 <= x <= 17:
        return ARROW
    if 17 <= x <= 21 and abs(y - 8.5) <= (21 - x) + 0.5:
        return ARROW
    return FACE


write_png(pathlib.Path(__file__).with_name("bitmap_111.png"), WIDTH, HEIGHT, pixel)
