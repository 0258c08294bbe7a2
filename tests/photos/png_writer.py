#!/usr/bin/python3
"""Writes PNG files of any colour type, bit depth and interlacing from a
PPM picture, with the chunks asked for, for tests of PNG readers.

  png_writer.py IN.ppm OUT.png COLOUR_TYPE BIT_DEPTH [options]
    COLOUR_TYPE  0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    --interlace  Adam7
    --trns       a tRNS chunk: for grey and RGB the colour of the top-left
                 pixel, for a palette every entry's alpha falling to 0
    --gama N     a gAMA chunk of N / 100000
    --srgb       an sRGB chunk
    --iccp       an iCCP chunk holding an sRGB profile

Grey is the mean of red, green and blue; samples of fewer bits keep the top
bits; 16-bit samples are v x 257; a palette holds the picture's colours in
order of first use, at most 2 ^ BIT_DEPTH of them, each pixel taking the
nearest. Alpha falls from 255 at the left to 0 at the right.
"""
import struct
import sys
import zlib

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]  # first column, first row, column step, row step


def read_ppm(path):
    data = open(path, "rb").read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        start = at
        while not data[at:at + 1].isspace():
            at += 1
        fields.append(data[start:at])
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:at + 1 + 3 * width * height]
    return width, height, [[tuple(pixels[3 * (y * width + x):3 * (y * width + x) + 3])
                            for x in range(width)] for y in range(height)]


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def pack_samples(samples, depth):
    """Samples of one row, packed high bits first."""
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out, bits, used = bytearray(), 0, 0
    for s in samples:
        bits = (bits << depth) | s
        used += depth
        if used == 8:
            out.append(bits)
            bits, used = 0, 0
    if used:
        out.append(bits << (8 - used))
    return bytes(out)


def main():
    args = sys.argv[1:]
    src, dst, colour_type, depth = args[0], args[1], int(args[2]), int(args[3])
    options = args[4:]
    width, height, rows = read_ppm(src)
    palette = []
    if colour_type == 3:
        for row in rows:
            for p in row:
                if p not in palette and len(palette) < (1 << depth):
                    palette.append(p)

    def level(v):  # an 8-bit level at the chosen depth
        return v * 257 if depth == 16 else v >> (8 - depth)

    def samples(x, p):
        alpha = 255 - 255 * x // max(width - 1, 1)
        grey = (p[0] + p[1] + p[2]) // 3
        if colour_type == 0:
            return [level(grey)]
        if colour_type == 2:
            return [level(c) for c in p]
        if colour_type == 3:
            return [min(range(len(palette)),
                        key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], p)))]
        if colour_type == 4:
            return [level(grey), level(alpha)]
        return [level(c) for c in p] + [level(alpha)]

    def scanline(y, xs):
        flat = [s for x in xs for s in samples(x, rows[y][x])]
        return b"\0" + pack_samples(flat, depth)

    raw = b""
    if "--interlace" in options:
        for x0, y0, dx, dy in ADAM7:
            xs = list(range(x0, width, dx))
            if xs:
                for y in range(y0, height, dy):
                    raw += scanline(y, xs)
    else:
        for y in range(height):
            raw += scanline(y, range(width))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(
        ">IIBBBBB", width, height, depth, colour_type, 0, 0, 1 if "--interlace" in options else 0))
    if "--gama" in options:
        png += chunk(b"gAMA", struct.pack(">I", int(options[options.index("--gama") + 1])))
    if "--srgb" in options:
        png += chunk(b"sRGB", b"\0")
    if "--iccp" in options:
        from PIL import ImageCms  # an sRGB profile made by littlecms
        profile = ImageCms.ImageCmsProfile(ImageCms.createProfile("sRGB")).tobytes()
        png += chunk(b"iCCP", b"sRGB\0\0" + zlib.compress(profile))
    if colour_type == 3:
        png += chunk(b"PLTE", b"".join(bytes(p) for p in palette))
    if "--trns" in options:
        if colour_type == 3:
            png += chunk(b"tRNS", bytes(255 - 255 * i // max(len(palette) - 1, 1)
                                        for i in range(len(palette))))
        elif colour_type in (0, 2):
            png += chunk(b"tRNS", b"".join(struct.pack(">H", s) for s in samples(0, rows[0][0])))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(dst, "wb").write(png)


main()
