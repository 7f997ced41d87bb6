#!/usr/bin/env python3
"""Draws the updater's pictures and writes them, ready for the resource compiler, to
updater/res/generated/:

  program icon   group 1 with images 30001-30004 (32 and 16 px, 16 and 256 colours): a
                 computer screen with a blue display over a grey box, a compact disc in front
  globe          group 101, image 30101: 128 x 128, 24-bit: a light-blue globe behind two
                 light-blue computer screens
  arrow          group 102, image 30102: 48 x 48, 24-bit: a glossy green arrow that curves
                 over and points downwards

Each picture also goes to a .ico file for people to look at. Run: python3 updater_pictures.py
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from icons import Canvas, VGA16, angle, dib, group, icon_entry, ico, mix, palette256  # noqa: E402

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "updater", "res",
                   "generated")
BLACK = (0, 0, 0)


def program_icon(size):
    s = size / 32.0
    c = Canvas(size, size)
    # the box standing under the screen
    c.rect(3 * s, 20 * s, 29 * s, 29 * s, lambda x, y: mix((200, 200, 200), (128, 128, 128), y / size))
    c.rect(18 * s, 24 * s, 26 * s, 25 * s, (64, 64, 64))
    # the screen: a grey bezel around a blue display, on a short stand
    c.rect(13 * s, 17 * s, 19 * s, 20 * s, (128, 128, 128))
    c.rect(6 * s, 2 * s, 26 * s, 17 * s, (192, 192, 192))
    c.rect(8 * s, 4 * s, 24 * s, 15 * s, lambda x, y: mix((0, 64, 255), (0, 0, 160), (y - 4 * s) / (11 * s)))
    c.outline(BLACK)
    # the compact disc in front, with its hole
    cx, cy, r = 9 * s, 23 * s, 8 * s
    c.disc(cx, cy, r + (0.6 if size > 16 else 0.3), BLACK)
    c.disc(cx, cy, r, lambda x, y: mix((255, 255, 255), (160, 200, 255), abs(math.sin(math.radians(angle(x, y, cx, cy) * 2)))))
    c.disc(cx, cy, 2.2 * s, (128, 128, 128))
    c.disc(cx, cy, 1.2 * s, None)
    return c


def globe():
    c = Canvas(128, 128)
    cx, cy, r = 64, 58, 54
    light, line = (170, 210, 255), (80, 140, 220)
    c.disc(cx, cy, r, lambda x, y: mix((215, 235, 255), light, math.hypot(x - cx + 20, y - cy + 20) / (1.6 * r)))
    for k in (-0.6, -0.3, 0.0, 0.3, 0.6):       # parallels
        yy = cy + k * r
        c.fill(lambda x, y: abs(y - yy) < 0.9 and (x - cx) ** 2 + (y - cy) ** 2 < r * r, line)
    for k in (0.35, 0.7, 1.0):                     # meridians
        c.fill(lambda x, y: abs(math.hypot((x - cx) / (k * r), (y - cy) / r) - 1) < 0.9 / (k * r)
               and (x - cx) ** 2 + (y - cy) ** 2 < r * r, line)
    c.fill(lambda x, y: abs(x - cx) < 0.9 and (x - cx) ** 2 + (y - cy) ** 2 < r * r, line)
    c.ring(cx, cy, r - 1.2, r, line)

    def screen(x0, y0):
        c.rect(x0 + 14, y0 + 30, x0 + 26, y0 + 36, (150, 190, 235))      # stand
        c.rect(x0 + 6, y0 + 35, x0 + 34, y0 + 39, (150, 190, 235))       # foot
        c.rect(x0, y0, x0 + 40, y0 + 31, (120, 170, 230))                # bezel
        c.rect(x0 + 3, y0 + 3, x0 + 37, y0 + 28,
               lambda x, y: mix((235, 245, 255), (160, 205, 255), (y - y0) / 28))
    screen(4, 78)
    screen(84, 78)
    # the link between them
    c.rect(44, 108, 84, 111, (80, 140, 220))
    return c


def arrow():
    c = Canvas(48, 48)
    cx, cy, r_in, r_out = 22, 26, 9, 18

    def green(x, y):   # light along the top of the band: the gloss
        return mix((190, 255, 170), (0, 140, 30), (y - 6) / 30)
    # a band curving over from the left, ending on the right where the head points down
    c.ring(cx, cy, r_in, r_out, green, keep=lambda x, y: y <= cy)
    c.rect(cx - r_out, cy, cx - r_in, cy + 8, green)
    c.polygon([(cx + r_in - 6, cy), (cx + r_out + 6, cy), (cx + (r_in + r_out) / 2, 46)], green)
    c.outline((0, 90, 20))
    c.fill(lambda x, y: r_out - 4 <= math.hypot(x - cx, y - cy) <= r_out - 2.5 and y < cy - 4
           and x < cx + 6, (235, 255, 230))
    return c


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)
    pal16, pal256 = VGA16, palette256()
    images, entries = [], []
    for (size, bpp, pal) in ((32, 4, pal16), (16, 4, pal16), (32, 8, pal256), (16, 8, pal256)):
        canvas = program_icon(size)
        data = dib(canvas, bpp, pal)
        images.append(data)
        entries.append(icon_entry(canvas, bpp, data))
    ids = [30001, 30002, 30003, 30004]
    for rid, data in zip(ids, images):
        write(f"icon_{rid}.bin", data)
    write("group_1.bin", group(entries, ids))
    write("tidewell.ico", ico(entries, images))

    for name, rid, gid, canvas in (("globe", 30101, 101, globe()), ("arrow", 30102, 102, arrow())):
        data = dib(canvas, 24)
        entry = icon_entry(canvas, 24, data)
        write(f"icon_{rid}.bin", data)
        write(f"group_{gid}.bin", group([entry], [rid]))
        write(f"{name}.ico", ico([entry], [data]))


if __name__ == "__main__":
    main()
