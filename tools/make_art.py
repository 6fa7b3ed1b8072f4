#!/usr/bin/env python3
"""Draws the program's icon and About-box logo as 16-colour bitmaps.

Writes src/forms/vo.ico (32 x 32 and 16 x 16, 4 bits per pixel, with AND masks) and
src/forms/logo.bmp (90 x 40, 4 bits per pixel). The output is byte-for-byte
deterministic, so the files can be regenerated and compared in review.

    python3 tools/make_art.py [output_dir]
"""

import math
import os
import struct
import sys

# The classic 16-colour set, as (red, green, blue).
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, SILVER, GREY, RED, YELLOW, WHITE = 0, 7, 8, 9, 11, 15

# The logo's own palette. Entry 0 is the background: the program replaces it with the
# dialog face colour when it loads the bitmap, so keep it for background pixels only.
LOGO_PALETTE = [
    (192, 192, 192),  # 0 background
    (0, 0, 0),        # 1 black
    (255, 255, 255),  # 2 white
    (128, 128, 128),  # 3 shadow
    (0, 128, 255),    # 4 azure, the colour of the About box panel
    (0, 0, 128),      # 5 navy outline
    (255, 0, 0),      # 6 red
    (255, 255, 0),    # 7 yellow
    (128, 192, 255),  # 8 light azure highlight
    (64, 64, 64),     # 9 dark grey
    (0, 64, 160),     # 10 deep blue
    (224, 224, 224),  # 11 light grey
    (0, 128, 0),      # 12 green (unused)
    (128, 0, 0),      # 13 maroon (unused)
    (128, 128, 0),    # 14 olive (unused)
    (0, 128, 128),    # 15 teal (unused)
]
L_BG, L_BLACK, L_WHITE, L_SHADOW, L_AZURE, L_NAVY, L_RED = 0, 1, 2, 3, 4, 5, 6
L_LIGHT, L_DARK, L_LIGHTGREY = 8, 9, 11


class Canvas:
    """A grid of palette indices; None marks a transparent pixel."""

    def __init__(self, width, height, fill=None):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]

    def plot_where(self, inside, colour):
        # A pixel is painted when its centre lies inside the shape.
        for y in range(self.height):
            for x in range(self.width):
                if inside(x + 0.5, y + 0.5):
                    self.pixels[y][x] = colour

    def disc(self, cx, cy, radius, colour):
        self.plot_where(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius, colour)

    def line(self, x0, y0, x1, y1, width, colour):
        self.plot_where(lambda x, y: distance_to_segment(x, y, x0, y0, x1, y1) <= width / 2,
                        colour)

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour


def distance_to_segment(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length2))
    return math.hypot(px - (x0 + t * dx), py - (y0 + t * dy))


def point_on_dial(cx, cy, radius, clock_fraction):
    """The point at `clock_fraction` of a turn clockwise from twelve o'clock."""
    angle = 2 * math.pi * clock_fraction
    return cx + radius * math.sin(angle), cy - radius * math.cos(angle)


def hand(canvas, cx, cy, fraction, length, width, colour, tail=0.0):
    x0, y0 = point_on_dial(cx, cy, -tail, fraction)
    x1, y1 = point_on_dial(cx, cy, length, fraction)
    canvas.line(x0, y0, x1, y1, width, colour)


# Hands at ten past ten and forty seconds.
HOUR_AT = (10 + 10 / 60) / 12
MINUTE_AT = 10 / 60
SECOND_AT = 40 / 60


def draw_icon_32():
    # A clock face in the strip's own colours: yellow on black. The bottom three rows
    # stay empty because the About box shows the icon in a 33 x 29 box.
    c = Canvas(32, 32)
    cx, cy = 16.0, 14.0
    c.disc(cx, cy, 13.6, GREY)
    c.disc(cx, cy, 12.7, SILVER)
    c.disc(cx, cy, 11.4, BLACK)
    for hour in range(12):
        inner = 7.6 if hour % 3 == 0 else 9.0
        x0, y0 = point_on_dial(cx, cy, inner, hour / 12)
        x1, y1 = point_on_dial(cx, cy, 10.4, hour / 12)
        c.line(x0, y0, x1, y1, 1.9 if hour % 3 == 0 else 1.2, YELLOW)
    hand(c, cx, cy, HOUR_AT, 5.6, 2.4, YELLOW)
    hand(c, cx, cy, MINUTE_AT, 8.6, 1.7, YELLOW)
    hand(c, cx, cy, SECOND_AT, 9.4, 1.1, RED, tail=2.5)
    c.disc(cx, cy, 1.6, RED)
    return c


def draw_icon_16():
    c = Canvas(16, 16)
    cx, cy = 8.0, 8.0
    c.disc(cx, cy, 7.6, GREY)
    c.disc(cx, cy, 6.8, BLACK)
    for x, y in ((7, 2), (8, 2), (13, 7), (13, 8), (7, 13), (8, 13), (2, 7), (2, 8)):
        c.put(x, y, YELLOW)
    hand(c, cx, cy, HOUR_AT, 3.2, 1.5, YELLOW)
    hand(c, cx, cy, MINUTE_AT, 4.8, 1.3, YELLOW)
    c.put(7, 7, RED)
    return c


def draw_logo():
    c = Canvas(90, 40, L_BG)

    # "v": two capsule strokes meeting at the foot, with outline and drop shadow.
    v_strokes = [((15.0, 8.0), (27.0, 31.0)), ((39.0, 8.0), (27.0, 31.0))]
    for (x0, y0), (x1, y1) in v_strokes:
        c.line(x0 + 2, y0 + 2, x1 + 2, y1 + 2, 9.0, L_SHADOW)
    for (x0, y0), (x1, y1) in v_strokes:
        c.line(x0, y0, x1, y1, 9.0, L_NAVY)
    for (x0, y0), (x1, y1) in v_strokes:
        c.line(x0, y0, x1, y1, 7.0, L_AZURE)
    for (x0, y0), (x1, y1) in v_strokes:
        c.line(x0 - 1.5, y0 + 0.5, x1 - 1.2, y1 - 3.0, 1.2, L_LIGHT)

    # "o": a clock face set in an azure ring.
    cx, cy = 61.0, 20.0
    c.disc(cx + 2, cy + 2, 15.5, L_SHADOW)
    c.disc(cx, cy, 15.5, L_NAVY)
    c.disc(cx, cy, 14.5, L_AZURE)
    c.disc(cx, cy, 10.5, L_NAVY)
    c.disc(cx, cy, 9.6, L_WHITE)
    c.line(cx - 12.5, cy - 6.0, cx - 7.5, cy - 11.5, 1.2, L_LIGHT)
    for hour in range(12):
        inner = 7.0 if hour % 3 == 0 else 7.8
        x0, y0 = point_on_dial(cx, cy, inner, hour / 12)
        x1, y1 = point_on_dial(cx, cy, 9.0, hour / 12)
        c.line(x0, y0, x1, y1, 1.4 if hour % 3 == 0 else 1.0,
               L_NAVY if hour % 3 == 0 else L_LIGHTGREY)
    hand(c, cx, cy, HOUR_AT, 4.6, 2.0, L_BLACK)
    hand(c, cx, cy, MINUTE_AT, 7.0, 1.5, L_BLACK)
    hand(c, cx, cy, SECOND_AT, 7.6, 1.1, L_RED, tail=2.0)
    c.disc(cx, cy, 1.3, L_RED)
    return c


def row_bytes_4bpp(row):
    padded = list(row) + [0] * (len(row) % 2)
    data = bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2))
    return data + b"\0" * (-len(data) % 4)


def row_bytes_mask(row):
    bits = [1 if p is None else 0 for p in row]
    bits += [0] * (-len(bits) % 8)
    data = bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))
    return data + b"\0" * (-len(data) % 4)


def palette_bytes(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 0, 0, 16, 0)


def dib_bits(canvas):
    # Bottom-up rows; transparent pixels are black in the colour plane.
    rows = reversed(canvas.pixels)
    return b"".join(row_bytes_4bpp([0 if p is None else p for p in row]) for row in rows)


def icon_image(canvas):
    xor = dib_bits(canvas)
    mask = b"".join(row_bytes_mask(row) for row in reversed(canvas.pixels))
    return info_header(canvas.width, canvas.height * 2, len(xor) + len(mask)) + \
        palette_bytes(VGA) + xor + mask


def ico_file(canvases):
    images = [icon_image(c) for c in canvases]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for canvas, image in zip(canvases, images):
        directory += struct.pack("<BBBBHHII", canvas.width, canvas.height, 16, 0, 1, 4,
                                 len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def bmp_file(canvas, palette):
    bits = dib_bits(canvas)
    header_size = 14 + 40 + 4 * len(palette)
    return struct.pack("<2sIHHI", b"BM", header_size + len(bits), 0, 0, header_size) + \
        info_header(canvas.width, canvas.height, len(bits)) + palette_bytes(palette) + bits


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = argv[1] if len(argv) > 1 else os.path.join(root, "src", "forms")
    os.makedirs(out_dir, exist_ok=True)
    outputs = {
        "vo.ico": ico_file([draw_icon_32(), draw_icon_16()]),
        "logo.bmp": bmp_file(draw_logo(), LOGO_PALETTE),
    }
    for name, data in outputs.items():
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
        print(f"{name}: {len(data)} bytes")


if __name__ == "__main__":
    main(sys.argv)
