#!/usr/bin/env python3
"""Draws the control library's pictures and writes them, ready for the resource compiler, to
wheel/res/generated/:

  cross-hair icon  group 1, image 1: 32 x 32, 16 colours, with mask: a black ring crossed by a
                   vertical and a horizontal grey bar, each outlined in black, a red 4 x 4
                   square where the bars meet; transparent outside the ring and between bars
  toolbox bitmap   toolbox.bmp: 16 x 15, 24-bit, no palette: a black ring with a black cross
                   and a two-pixel red centre on a flat grey RGB(127,127,127)

Each picture also goes to a file people can open (crosshair.ico). Run: python3 control_pictures.py
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from icons import Canvas, VGA16, bmp24, dib, group, icon_entry, ico  # noqa: E402

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "wheel", "res", "generated")
BLACK, GREY, RED = (0, 0, 0), (128, 128, 128), (255, 0, 0)


def crosshair():
    c = Canvas(32, 32)
    c.ring(16, 16, 12.5, 15.5, BLACK)
    # the bars, outlined in black, then their grey insides
    c.rect(13, 1, 19, 31, BLACK)
    c.rect(1, 13, 31, 19, BLACK)
    c.rect(14, 2, 18, 30, GREY)
    c.rect(2, 14, 30, 18, GREY)
    c.rect(14, 14, 18, 18, RED)
    return c


def toolbox():
    c = Canvas(16, 15)
    c.ring(7.5, 7.5, 5.2, 6.4, BLACK)
    c.rect(7, 1, 9, 14, BLACK)
    c.rect(1, 7, 15, 8, BLACK)
    c.rect(7, 7, 9, 8, RED)
    return c


def main():
    os.makedirs(OUT, exist_ok=True)
    icon = crosshair()
    data = dib(icon, 4, VGA16)
    entry = icon_entry(icon, 4, data)
    with open(os.path.join(OUT, "icon_1.bin"), "wb") as f:
        f.write(data)
    with open(os.path.join(OUT, "group_1.bin"), "wb") as f:
        f.write(group([entry], [1]))
    with open(os.path.join(OUT, "crosshair.ico"), "wb") as f:
        f.write(ico([entry], [data]))
    with open(os.path.join(OUT, "toolbox.bmp"), "wb") as f:
        f.write(bmp24(toolbox(), (127, 127, 127)))


if __name__ == "__main__":
    main()
