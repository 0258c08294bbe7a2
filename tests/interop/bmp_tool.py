#!/usr/bin/env python3
"""Pictures and checks for the interoperability tests (tests/interop/run.sh).

    bmp_tool.py pixels W H OUT.ppm      known pixels as a binary PPM
    bmp_tool.py plain IN.ppm OUT.bmp    the same pixels in a 54-byte-header BMP
    bmp_tool.py pillow IN.ppm OUT.bmp   the same pixels as Pillow writes a BMP
    bmp_tool.py header IN.bmp           "information-header-size bits width height"
    bmp_tool.py same-pixels IN.bmp IN.ppm
                                        the BMP holds exactly the PPM's pixels
    bmp_tool.py same-resized A.bmp B.bmp
                                        same width, height and bytes from 54 on
    bmp_tool.py read-back IN.bmp W H IMAGEMAGICK.ppm
                                        a well-formed 54-byte-header BMP of W x H
                                        whose pixels Pillow and ImageMagick (its
                                        PPM) decode exactly as this file does
    bmp_tool.py halved SMALL.bmp LARGE.bmp
                                        every pixel of SMALL is the mean of a
                                        2 x 2 block of LARGE, as two truncating
                                        passes give it

Any failed check prints one line to standard error and ends with status 1.
The BMP decoding here is written from the format alone, independent of the
programs under test and of the libraries that read the files back.
"""
import struct
import sys


def fail(message):
    sys.stderr.write(message + "\n")
    sys.exit(1)


def read_ppm(path):
    """Width, height and the rows top-down as lists of (r, g, b)."""
    with open(path, "rb") as f:
        data = f.read()
    # Header: "P6", width, height, maxval, separated by whitespace; comments
    # start with '#' and run to the end of the line.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1  # the single whitespace byte before the samples
    if fields[0] != b"P6" or fields[3] != b"255":
        fail("%s: not an 8-bit binary PPM (%r)" % (path, fields))
    width, height = int(fields[1]), int(fields[2])
    samples = data[pos:pos + 3 * width * height]
    if len(samples) != 3 * width * height:
        fail("%s: %d sample bytes, %d expected" % (path, len(samples), 3 * width * height))
    rows = []
    for y in range(height):
        row = samples[3 * width * y:3 * width * (y + 1)]
        rows.append([tuple(row[3 * x:3 * x + 3]) for x in range(width)])
    return width, height, rows


def write_ppm(path, width, height, rows):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height))
        for row in rows:
            f.write(bytes(value for pixel in row for value in pixel))


def stride(width):
    return (3 * width + 3) // 4 * 4


def decode_bmp(path):
    """Header fields and the rows top-down as lists of (r, g, b), for an
    uncompressed 24-bit BMP stored bottom-up, each row blue, green, red and
    padded to a multiple of 4 bytes."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 54 or data[:2] != b"BM":
        fail("%s: not a BMP (%d bytes)" % (path, len(data)))
    (file_size, reserved, offset, info_size, width, height, planes, bits,
     compression, image_size, x_ppm, y_ppm, colours, important) = struct.unpack_from(
         "<IIIIiiHHIIiiII", data, 2)
    header = dict(file_size=file_size, reserved=reserved, offset=offset, info_size=info_size,
                  width=width, height=height, planes=planes, bits=bits,
                  compression=compression, image_size=image_size, colours=colours,
                  important=important, length=len(data))
    if bits != 24 or compression != 0 or width < 1 or height < 1:
        fail("%s: not an uncompressed bottom-up 24-bit BMP: %r" % (path, header))
    if offset + stride(width) * (height - 1) + 3 * width > len(data):
        fail("%s: %d bytes, too short for its rows" % (path, len(data)))
    rows = []
    for y in range(height):  # the first row in the file is the bottom one
        start = offset + stride(width) * (height - 1 - y)
        row = data[start:start + 3 * width]
        rows.append([(row[3 * x + 2], row[3 * x + 1], row[3 * x]) for x in range(width)])
    return header, rows, data


def known_pixels(width, height):
    """Every pixel differs in red, green and blue; smooth ramps, pseudo-random
    noise and the saturated primaries and secondaries all occur."""
    saturated = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0),
                 (0, 255, 255), (255, 0, 255), (0, 0, 0), (255, 255, 255)]
    state = 2024
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            state = (state * 1103515245 + 12345) & 0x7FFFFFFF
            noise = state >> 23
            if (x + 2 * y) % 7 == 3:
                pixel = saturated[(x + y) % len(saturated)]
            else:
                pixel = (255 * x // max(width - 1, 1),
                         255 * y // max(height - 1, 1),
                         noise)
            row.append(pixel)
        rows.append(row)
    return rows


def write_plain_bmp(path, width, height, rows):
    pad = stride(width) - 3 * width
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b in row:
            pixels += bytes((b, g, r))
        pixels += bytes(pad)
    header = b"BM" + struct.pack("<IIIIiiHHIIiiII", 54 + len(pixels), 0, 54, 40, width,
                                 height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + pixels)


def pillow_rows(path):
    from PIL import Image
    with Image.open(path) as image:
        if image.format != "BMP" or image.mode != "RGB":
            fail("%s: Pillow reads %s %s" % (path, image.format, image.mode))
        width, height = image.size
        values = list(image.getdata())
    return width, height, [values[width * y:width * (y + 1)] for y in range(height)]


def first_difference(rows_a, rows_b):
    for y, (row_a, row_b) in enumerate(zip(rows_a, rows_b)):
        for x, (a, b) in enumerate(zip(row_a, row_b)):
            if a != b:
                return "first difference at x %d, y %d from the top: %r against %r" % (x, y, a, b)
    return "row counts or lengths differ"


def command_read_back(path, width, height, imagemagick_ppm):
    header, rows, data = decode_bmp(path)
    expected = dict(file_size=len(data), offset=54, info_size=40, width=width, height=height,
                    planes=1, length=54 + stride(width) * height)
    for field, value in expected.items():
        if header[field] != value:
            fail("%s: %s is %d, %d expected" % (path, field, header[field], value))
    if header["image_size"] not in (0, stride(width) * height):
        fail("%s: image size field %d, stride x height is %d"
             % (path, header["image_size"], stride(width) * height))
    p_width, p_height, p_rows = pillow_rows(path)
    if (p_width, p_height) != (width, height):
        fail("%s: Pillow reads %d x %d, %d x %d expected" % (path, p_width, p_height, width, height))
    if p_rows != rows:
        fail("%s: Pillow's pixels differ: %s" % (path, first_difference(p_rows, rows)))
    m_width, m_height, m_rows = read_ppm(imagemagick_ppm)
    if (m_width, m_height) != (width, height):
        fail("%s: ImageMagick reads %d x %d, %d x %d expected"
             % (path, m_width, m_height, width, height))
    if m_rows != rows:
        fail("%s: ImageMagick's pixels differ: %s" % (path, first_difference(m_rows, rows)))


def command_halved(small_path, large_path):
    _, small, _ = decode_bmp(small_path)
    _, large, _ = decode_bmp(large_path)
    if len(large) != 2 * len(small) or len(large[0]) != 2 * len(small[0]):
        fail("%s is not half of %s" % (small_path, large_path))
    for y, row in enumerate(small):
        for x, pixel in enumerate(row):
            block = [large[2 * y + dy][2 * x + dx] for dy in (0, 1) for dx in (0, 1)]
            for channel in range(3):
                mean = sum(p[channel] for p in block) / 4
                # The rows are averaged first, then the columns, each pass
                # truncating: never above the mean, less than 1.5 below it.
                if not mean - 1.5 < pixel[channel] <= mean:
                    fail("%s: pixel x %d, y %d channel %d is %d, the block mean %.2f"
                         % (small_path, x, y, channel, pixel[channel], mean))


def main(args):
    command = args[0] if args else ""
    if command == "pixels" and len(args) == 4:
        width, height = int(args[1]), int(args[2])
        write_ppm(args[3], width, height, known_pixels(width, height))
    elif command == "plain" and len(args) == 3:
        width, height, rows = read_ppm(args[1])
        write_plain_bmp(args[2], width, height, rows)
    elif command == "pillow" and len(args) == 3:
        from PIL import Image
        with Image.open(args[1]) as image:
            image.save(args[2], "BMP")
    elif command == "header" and len(args) == 2:
        header, _, _ = decode_bmp(args[1])
        print(header["info_size"], header["bits"], header["width"], header["height"])
    elif command == "same-pixels" and len(args) == 3:
        header, rows, _ = decode_bmp(args[1])
        width, height, ppm_rows = read_ppm(args[2])
        if (header["width"], header["height"]) != (width, height) or rows != ppm_rows:
            fail("%s does not hold the pixels of %s: %s"
                 % (args[1], args[2], first_difference(rows, ppm_rows)))
    elif command == "same-resized" and len(args) == 3:
        header_a, _, data_a = decode_bmp(args[1])
        header_b, _, data_b = decode_bmp(args[2])
        for field in ("width", "height", "file_size", "offset", "info_size", "image_size"):
            if header_a[field] != header_b[field]:
                fail("%s and %s differ in %s: %d against %d"
                     % (args[1], args[2], field, header_a[field], header_b[field]))
        if data_a[54:] != data_b[54:]:
            fail("%s and %s differ in their pixel bytes" % (args[1], args[2]))
    elif command == "read-back" and len(args) == 5:
        command_read_back(args[1], int(args[2]), int(args[3]), args[4])
    elif command == "halved" and len(args) == 3:
        command_halved(args[1], args[2])
    else:
        fail(__doc__.strip())


if __name__ == "__main__":
    main(sys.argv[1:])
