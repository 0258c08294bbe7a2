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
    bmp_tool.py few-colours W H N OUT.ppm
                                        known pixels of N colours (black and
                                        white for N = 2)
    bmp_tool.py pillow-mode MODE IN.ppm OUT.bmp
                                        Pillow's BMP of the pixels in mode
                                        RGBA, P (a table of the PPM's own
                                        colours) or 1
    bmp_tool.py top-down IN.ppm OUT.bmp the pixels as a 24-bit BMP stored
                                        top-down
    bmp_tool.py layout IN.bmp           "information-header-size bits
                                        compression height" of any BMP
    bmp_tool.py twin IN.bmp OUT.bmp     the pixels of any BMP as a plain 24-bit
                                        BMP saved by Pillow; 16-bit pixels are
                                        decoded here, each level widened by
                                        repeating its high bits
    bmp_tool.py pillow-photo KIND IN.ppm OUT
                                        Pillow's PNG of the pixels in mode 1,
                                        L, LA, P, RGB, RGBA or I16 (16-bit
                                        grey), alpha falling from left to
                                        right; or its JPEG: 420, 422, 444,
                                        progressive, L, CMYK, or orientationN
                                        (EXIF orientation N)

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


def few_colour_pixels(width, height, count):
    """Rows of count colours that all differ, in an order that is neither a
    row nor a column pattern."""
    if count == 2:
        colours = [(0, 0, 0), (255, 255, 255)]
    else:
        colours = [((37 * i + 11) % 256, (101 * i + 50) % 256, (59 * i + 200) % 256)
                   for i in range(count)]
    return [[colours[(x * x + 3 * y + x * y) % count] for x in range(width)]
            for y in range(height)]


def pillow_mode_bmp(mode, ppm_path, bmp_path):
    from PIL import Image
    with Image.open(ppm_path) as image:
        image.load()
    if mode == "RGBA":
        image = image.convert("RGBA")
        image.putalpha(128)
    elif mode == "P":
        colours = sorted(set(image.getdata()))
        if len(colours) > 256:
            fail("%s: %d colours, too many for a palette" % (ppm_path, len(colours)))
        index = {colour: i for i, colour in enumerate(colours)}
        paletted = Image.new("P", image.size)
        paletted.putpalette([value for colour in colours for value in colour])
        paletted.putdata([index[pixel] for pixel in image.getdata()])
        image = paletted
    elif mode == "1":
        image = image.convert("L").convert("1", dither=Image.Dither.NONE)
    else:
        fail("unknown Pillow mode " + mode)
    image.save(bmp_path, "BMP")


def write_top_down_bmp(path, width, height, rows):
    pad = stride(width) - 3 * width
    pixels = bytearray()
    for row in rows:
        for r, g, b in row:
            pixels += bytes((b, g, r))
        pixels += bytes(pad)
    header = b"BM" + struct.pack("<IIIIiiHHIIiiII", 54 + len(pixels), 0, 54, 40, width,
                                 -height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + pixels)


def layout_fields(data):
    info_size = struct.unpack_from("<I", data, 14)[0]
    if info_size == 12:
        width, height, _, bits = struct.unpack_from("<HHHH", data, 18)
        return info_size, bits, 0, width, height
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    return info_size, bits, compression, width, height


def widen(level, bits):
    """A level of bits bits as 8 bits, its high bits repeated below it."""
    value, shift = 0, 8 - bits
    while shift > -bits:
        value |= level << shift if shift >= 0 else level >> -shift
        shift -= bits
    return value & 0xFF


def sixteen_bit_rows(data):
    """Rows top-down of a 16-bit BMP, stored bottom-up."""
    info_size, bits, compression, width, height = layout_fields(data)
    offset = struct.unpack_from("<I", data, 10)[0]
    if bits != 16 or height < 1:
        fail("not a bottom-up 16-bit BMP")
    masks = struct.unpack_from("<III", data, 54) if compression == 3 else (0x7C00, 0x3E0, 0x1F)
    row_length = (16 * width + 31) // 32 * 4
    rows = []
    for y in range(height):
        start = offset + row_length * (height - 1 - y)
        row = []
        for x in range(width):
            value = struct.unpack_from("<H", data, start + 2 * x)[0]
            pixel = []
            for mask in masks:
                shift = (mask & -mask).bit_length() - 1
                pixel.append(widen((value & mask) >> shift, bin(mask).count("1")))
            row.append(tuple(pixel))
        rows.append(row)
    return width, height, rows


def command_twin(in_path, out_path):
    from PIL import Image
    with open(in_path, "rb") as f:
        data = f.read()
    if layout_fields(data)[1] == 16:
        width, height, rows = sixteen_bit_rows(data)
        image = Image.new("RGB", (width, height))
        image.putdata([pixel for row in rows for pixel in row])
    else:
        with Image.open(in_path) as opened:
            image = opened.convert("RGB")
    image.save(out_path, "BMP")


def pillow_photo(kind, ppm_path, out_path):
    from PIL import Image
    picture = Image.open(ppm_path).convert("RGB")
    alpha = Image.linear_gradient("L").rotate(90).resize(picture.size)
    if out_path.endswith(".png"):
        if kind in ("LA", "RGBA"):
            picture = picture.convert(kind[:-1])
            picture.putalpha(alpha)
        elif kind == "P":
            picture = picture.convert("P", palette=Image.ADAPTIVE, colors=200)
        elif kind == "I16":
            picture = Image.eval(picture.convert("L").convert("I"), lambda v: v * 257)
        else:
            picture = picture.convert(kind)
        picture.save(out_path)
        return
    options = {"quality": 90}
    if kind in ("420", "422", "444"):
        options["subsampling"] = {"444": 0, "422": 1, "420": 2}[kind]
    elif kind == "progressive":
        options["progressive"] = True
    elif kind in ("L", "CMYK"):
        picture = picture.convert(kind)
    elif kind.startswith("orientation"):
        exif = Image.Exif()
        exif[0x0112] = int(kind[len("orientation"):])
        options["exif"] = exif.tobytes()
    picture.save(out_path, **options)


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
    elif command == "few-colours" and len(args) == 5:
        width, height = int(args[1]), int(args[2])
        write_ppm(args[4], width, height, few_colour_pixels(width, height, int(args[3])))
    elif command == "pillow-mode" and len(args) == 4:
        pillow_mode_bmp(args[1], args[2], args[3])
    elif command == "top-down" and len(args) == 3:
        width, height, rows = read_ppm(args[1])
        write_top_down_bmp(args[2], width, height, rows)
    elif command == "layout" and len(args) == 2:
        with open(args[1], "rb") as f:
            info_size, bits, compression, _, height = layout_fields(f.read())
        print(info_size, bits, compression, height)
    elif command == "pillow-photo" and len(args) == 4:
        pillow_photo(args[1], args[2], args[3])
    elif command == "twin" and len(args) == 3:
        command_twin(args[1], args[2])
    else:
        fail(__doc__.strip())


if __name__ == "__main__":
    main(sys.argv[1:])
