"""Small raster toolkit for the deliverables' pictures: a canvas with simple filled shapes,
and encoders for the Windows icon formats (DIB images with an AND mask, icon groups, .ico
files) and for 24-bit bitmaps. Standard library only, so the pictures can be remade
anywhere."""

import math
import struct

TRANSPARENT = None


class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[TRANSPARENT] * width for _ in range(height)]

    def set(self, x, y, colour):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = colour

    def fill(self, inside, colour):
        """Colours every pixel whose centre satisfies inside(x, y); colour may be a function
        of (x, y) for gradients."""
        for y in range(self.h):
            for x in range(self.w):
                if inside(x + 0.5, y + 0.5):
                    self.set(x, y, colour(x, y) if callable(colour) else colour)

    def rect(self, x0, y0, x1, y1, colour):
        self.fill(lambda x, y: x0 <= x < x1 and y0 <= y < y1, colour)

    def disc(self, cx, cy, r, colour):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def ring(self, cx, cy, r_in, r_out, colour, keep=lambda x, y: True):
        self.fill(lambda x, y: r_in ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out ** 2
                  and keep(x, y), colour)

    def polygon(self, points, colour):
        def inside(x, y):
            hit = False
            n = len(points)
            for i in range(n):
                (xa, ya), (xb, yb) = points[i], points[(i + 1) % n]
                if (ya > y) != (yb > y) and x < (xb - xa) * (y - ya) / (yb - ya) + xa:
                    hit = not hit
            return hit
        self.fill(inside, colour)

    def outline(self, colour):
        """Draws a one-pixel border of `colour` around every opaque area."""
        edge = []
        for y in range(self.h):
            for x in range(self.w):
                if self.px[y][x] is TRANSPARENT:
                    continue
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    nx, ny = x + dx, y + dy
                    if not (0 <= nx < self.w and 0 <= ny < self.h) or self.px[ny][nx] is TRANSPARENT:
                        edge.append((x, y))
                        break
        for x, y in edge:
            self.px[y][x] = colour


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


# The 16 colours of the standard VGA palette, as 16-colour icons use them.
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette256():
    cube = [(r, g, b) for r in range(0, 256, 51) for g in range(0, 256, 51) for b in range(0, 256, 51)]
    greys = [(v, v, v) for v in range(8, 256, 16)]
    colours = VGA16 + cube + greys
    return (colours + [(0, 0, 0)] * 256)[:256]


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((colour[k] - palette[i][k]) ** 2 for k in range(3)))


def _rows(canvas):
    return range(canvas.h - 1, -1, -1)   # DIBs are stored bottom-up


def _pad(row):
    return row + b"\0" * (-len(row) % 4)


def dib(canvas, bpp, palette=None):
    """One icon image: BITMAPINFOHEADER (height doubled for the mask), palette, colour bits
    and the AND mask (1 = transparent)."""
    w, h = canvas.w, canvas.h
    header = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, bpp, 0, 0, 0, 0,
                         len(palette) if palette else 0, 0)
    pal = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette) if palette else b""
    cache = {}
    xor = b""
    for y in _rows(canvas):
        row = bytearray()
        if bpp == 24:
            for x in range(w):
                r, g, b = canvas.px[y][x] or (0, 0, 0)
                row += bytes((b, g, r))
        else:
            idx = []
            for x in range(w):
                c = canvas.px[y][x]
                if c is TRANSPARENT:
                    idx.append(0)
                else:
                    if c not in cache:
                        cache[c] = nearest(c, palette)
                    idx.append(cache[c])
            if bpp == 8:
                row += bytes(idx)
            else:
                for i in range(0, w, 2):
                    row.append((idx[i] << 4) | (idx[i + 1] if i + 1 < w else 0))
        xor += _pad(bytes(row))
    mask = b""
    for y in _rows(canvas):
        bits = bytearray((w + 7) // 8)
        for x in range(w):
            if canvas.px[y][x] is TRANSPARENT:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += _pad(bytes(bits))
    return header + pal + xor + mask


def icon_entry(canvas, bpp, data):
    colours = 16 if bpp == 4 else 0
    return (canvas.w % 256, canvas.h % 256, colours, bpp, len(data))


def group(entries, ids):
    """RT_GROUP_ICON data naming the RT_ICON resources `ids`."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    for (w, h, colours, bpp, size), rid in zip(entries, ids):
        out += struct.pack("<BBBBHHIH", w, h, colours, 0, 1, bpp, size, rid)
    return out


def ico(entries, images):
    """A .ico file holding the images, for people to look at."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for (w, h, colours, bpp, size) in entries:
        out += struct.pack("<BBBBHHII", w, h, colours, 0, 1, bpp, size, offset)
        offset += size
    return out + b"".join(images)


def bmp24(canvas, background):
    """A 24-bit .bmp file without palette; transparent pixels take the background."""
    rows = b""
    for y in _rows(canvas):
        row = bytearray()
        for x in range(canvas.w):
            r, g, b = canvas.px[y][x] or background
            row += bytes((b, g, r))
        rows += _pad(bytes(row))
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return head + info + rows


def angle(x, y, cx, cy):
    return math.degrees(math.atan2(cy - y, x - cx)) % 360
