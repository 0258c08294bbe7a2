#!/usr/bin/env python3
"""How far pravun's fixed-point box filter lands from the true area mean.

Runs the built pravun on pictures made here and by make_picture and prints,
for each job, how the output compares with the exact mean of the source
pixels under each target pixel:

  - flat white pictures (every channel 255) reduced to 256 wide, or filled
    into the 256 x 212 screen: the levels that come out instead of 255;
  - a photo-like picture from make_picture reduced 5:1, where every target
    pixel covers exactly a 5 x 5 block: the largest and the average distance
    from the block's mean, in levels.

Each job runs with the fixed-point arithmetic and with /e, the exact mean.
Not part of the tests.

  bench/pravun_accuracy.py [BUILD_DIR]      (default: build)
"""
import os
import struct
import subprocess
import sys
import tempfile


def write_bmp(path, width, height, rows):
    """A plain 24-bit bottom-up BMP; rows[0] is the first row in the file."""
    stride = (3 * width + 3) // 4 * 4
    size = 54 + stride * height
    header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", size, 0, 0, 54, 40,
                         width, height, 1, 24, 0, stride * height, 0, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(header)
        for row in rows:
            out.write(bytes(row) + bytes(stride - 3 * width))


def read_bmp(path):
    """(width, height, rows) of a plain 24-bit bottom-up BMP."""
    with open(path, "rb") as source:
        data = source.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (3 * width + 3) // 4 * 4
    rows = [data[offset + y * stride:offset + y * stride + 3 * width]
            for y in range(height)]
    return width, height, rows


def run_pravun(pravun, source, options, target):
    subprocess.run([pravun, source] + options + [target], check=True,
                   stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    return read_bmp(target)


def flat_white(pravun, work, width, height, options):
    source = os.path.join(work, "white.bmp")
    target = os.path.join(work, "white_out.bmp")
    write_bmp(source, width, height, [[255] * (3 * width)] * height)
    for exact in ([], ["/e"]):
        out_width, out_height, rows = run_pravun(pravun, source, options + exact, target)
        levels = sorted({value for row in rows for value in row})
        print("white %d x %d %s -> %d x %d: levels %s" %
              (width, height, " ".join(options + exact), out_width, out_height,
               " ".join(map(str, levels))))


def photo_reduction(make_picture, pravun, work, width, height, factor, exact):
    source = os.path.join(work, "photo.bmp")
    target = os.path.join(work, "photo_out.bmp")
    subprocess.run([make_picture, str(width), str(height), source], check=True,
                   stdout=subprocess.DEVNULL)
    _, _, rows = read_bmp(source)
    out_width, out_height, out_rows = run_pravun(
        pravun, source, ["/h%d" % (width // factor)] + exact, target)
    assert (out_width, out_height) == (width // factor, height // factor)
    smallest = 255.0
    largest = 0.0
    total = 0.0
    histogram = {}
    for ty in range(out_height):
        block_rows = rows[ty * factor:(ty + 1) * factor]
        for tx in range(out_width):
            for channel in range(3):
                block = sum(row[3 * (tx * factor + dx) + channel]
                            for row in block_rows for dx in range(factor))
                distance = block / (factor * factor) - out_rows[ty][3 * tx + channel]
                smallest = min(smallest, distance)
                largest = max(largest, distance)
                total += abs(distance)
                step = round(distance)
                histogram[step] = histogram.get(step, 0) + 1
    count = out_width * out_height * 3
    print("photo %d x %d -> %d x %d (%d:1)%s: true mean minus output: %.2f to %.2f, "
          "average %.2f levels" % (width, height, out_width, out_height, factor,
                                   " /e" if exact else "", smallest, largest, total / count))
    print("  rounded distance: share of values: " + ", ".join(
        "%d: %.2f%%" % (step, 100.0 * histogram[step] / count) for step in sorted(histogram)))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    pravun = os.path.join(build, "pravun", "pravun")
    make_picture = os.path.join(build, "bench", "make_picture")
    subprocess.run(["cmake", "--build", build, "--target", "pravun", "make_picture"],
                   check=True, stdout=subprocess.DEVNULL)
    with tempfile.TemporaryDirectory() as work:
        flat_white(pravun, work, 300, 10, ["/h256"])
        flat_white(pravun, work, 800, 10, ["/h256"])
        flat_white(pravun, work, 512, 10, ["/h256"])
        for width, height in ((640, 480), (4000, 3000), (8000, 6000)):
            flat_white(pravun, work, width, height, ["/m256x212", "/t"])
        photo_reduction(make_picture, pravun, work, 1280, 960, 5, [])
        photo_reduction(make_picture, pravun, work, 1280, 960, 5, ["/e"])


if __name__ == "__main__":
    main()
