#!/usr/bin/env python3
"""Draws a photo-like still life as a 24-bit BMP for the gallery: fruit with
shading, highlights and shadows on a gingham cloth before a striped wall, so
that saturated colours, hard edges between them and fine patterns all occur.
The same picture on every machine; only the standard library is used.

    fruit_picture.py WIDTH HEIGHT OUT.BMP
"""
import math
import struct
import sys

# Fruit: centre (x, y) and radii (rx, ry) as fractions of the width and the
# height, base colour (red, green, blue), and how strong the highlight is.
# Listed back to front.
FRUIT = [
    ((0.17, 0.70), (0.08, 0.10), (95, 190, 40), 0.7),     # lime
    ((0.42, 0.50), (0.05, 0.065), (120, 30, 150), 0.9),   # grapes, top
    ((0.36, 0.58), (0.05, 0.065), (105, 25, 135), 0.9),
    ((0.47, 0.60), (0.05, 0.065), (130, 35, 160), 0.9),
    ((0.41, 0.68), (0.05, 0.065), (115, 30, 145), 0.9),
    ((0.30, 0.72), (0.14, 0.18), (255, 135, 0), 0.5),     # orange
    ((0.58, 0.72), (0.12, 0.16), (205, 20, 35), 1.0),     # apple
    ((0.80, 0.75), (0.13, 0.12), (255, 225, 25), 0.6),    # lemon
    ((0.68, 0.85), (0.06, 0.08), (45, 55, 175), 1.0),     # plum
]
TABLE_TOP = 0.62  # the cloth starts here, as a fraction of the height


def clamp(value):
    return 0 if value < 0 else 255 if value > 255 else int(value)


def background(u, v, x, y):
    if v < TABLE_TOP:
        # Wall: deep teal to violet, with thin pale stripes every 6 pixels.
        t = v / TABLE_TOP
        colour = [20 + 90 * t, 90 - 50 * t, 120 + 60 * t]
        if x % 6 == 0:
            colour = [c + 45 for c in colour]
        return colour
    # Gingham: red and white bands 16 pixels wide, crossing; a 1-pixel weave.
    across = (x // 16) % 2 == 0
    along = (y // 16) % 2 == 0
    red_share = (across + along) / 2
    colour = [255 - 20 * red_share, 255 - 215 * red_share, 255 - 205 * red_share]
    if (x + y) % 3 == 0:
        colour = [c * 0.9 for c in colour]
    depth = (v - TABLE_TOP) / (1 - TABLE_TOP)
    return [c * (0.75 + 0.25 * depth) for c in colour]


def pixel(u, v, x, y):
    colour = background(u, v, x, y)
    # Soft shadows on the cloth, to the lower right of each fruit.
    for (cx, cy), (rx, ry), _, _ in FRUIT:
        dx = (u - cx - 0.3 * rx) / (1.1 * rx)
        dy = (v - cy - 0.6 * ry) / (0.5 * ry)
        d = dx * dx + dy * dy
        if d < 1 and v > TABLE_TOP:
            colour = [c * (0.55 + 0.45 * d) for c in colour]
    for (cx, cy), (rx, ry), base, shine in FRUIT:
        dx = (u - cx) / rx
        dy = (v - cy) / ry
        d = dx * dx + dy * dy
        if d >= 1:
            continue
        # A sphere lit from the upper left: Lambert shading plus a highlight.
        nz = math.sqrt(1 - d)
        light = max(0.0, (-0.45 * dx - 0.55 * dy + 0.7 * nz))
        shade = 0.25 + 0.85 * light
        gloss = shine * max(0.0, light) ** 24 * 255
        # A fine dimpled skin: a little ripple tied to the pixel grid.
        ripple = 6 * math.sin(x * 1.7) * math.sin(y * 1.3)
        colour = [b * shade + gloss + ripple for b in base]
        if d > 0.93:  # a dark rim where the fruit turns away
            colour = [c * 0.6 for c in colour]
    return colour


def main(args):
    if len(args) != 3:
        sys.exit(__doc__.strip())
    width, height, path = int(args[0]), int(args[1]), args[2]
    stride = (3 * width + 3) // 4 * 4
    rows = []
    for y in range(height - 1, -1, -1):  # file rows run bottom-up
        v = (y + 0.5) / height
        row = bytearray()
        for x in range(width):
            red, green, blue = pixel((x + 0.5) / width, v, x, y)
            row += bytes((clamp(blue), clamp(green), clamp(red)))
        row += bytes(stride - 3 * width)
        rows.append(bytes(row))
    pixels = b"".join(rows)
    header = b"BM" + struct.pack("<IIIIiiHHIIiiII", 54 + len(pixels), 0, 54, 40, width, height,
                                 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(header + pixels)


if __name__ == "__main__":
    main(sys.argv[1:])
