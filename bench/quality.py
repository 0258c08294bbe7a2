#!/usr/bin/python3
"""Quality of screen files made from real photos, as the chip shows them.

Takes the colour photos that Debian's python3-skimage ships, makes each
256 x 212 with pravun (after ImageMagick's convert to a 24-bit BMP), writes
screen files with tessalo's classic presets and with the screen encoder
(bench/encode_screen), decodes every file with `tessalo --decode`, and
compares the decoded picture with the 256 x 212 one at full-scale levels (a
5-bit level L shows as floor(L x 255 / 31), the value --decode writes).
Prints, for every job, the means over the photos of:
PSNR over red, green and blue; mean CIEDE2000 per pixel and after a Gaussian
blur of sigma 1 on both pictures; the mean colour shift of each channel in
8-bit levels; the encoder's processor time for one screen (one core). Then
the screen 10 palette jobs against the best screen 12 job photo by photo,
and the table of the figures the encoder is to reach.

Not part of the tests; needs python3-skimage and imagemagick.

  bench/quality.py [BUILD_DIR]      (default: build)
"""
import os
import re
import subprocess
import sys
import tempfile

import numpy as np
from skimage import color, filters, io

PHOTO_FOLDER = "/usr/lib/python3/dist-packages/skimage/data"
PHOTOS = ["astronaut.png", "chelsea.png", "coffee.png", "rocket.jpg",
          "hubble_deep_field.jpg", "ihc.png", "motorcycle_left.png", "retina.jpg"]

# (label, extension, how the file is made): "batch WORDS" runs tessalo's
# classic converter, "encode WORDS" the screen encoder.
JOBS = [
    ("classic s12 2 4 1 0 0 y", "SCC", "batch 2 4 1 0 0 y"),
    ("classic s12 2 4 1 2 1 y", "SCC", "batch 2 4 1 2 1 y"),
    ("classic s10 3 4 1 2 1 y", "SCA", "batch 3 4 1 2 1 y"),
    ("encoder s12 none rgb", "SCC", "encode none rgb"),
    ("encoder s12 none lab", "SCC", "encode none lab"),
    ("encoder s12 diffuse rgb", "SCC", "encode diffuse rgb"),
    ("encoder s12 diffuse lab", "SCC", "encode diffuse lab"),
    ("encoder s12 diffuse rgb straight", "SCC", "encode diffuse rgb straight"),
    ("encoder s10 diffuse rgb nopalette", "SCA", "encode diffuse rgb nopalette"),
    ("encoder s10 diffuse rgb palette", "SCA", "encode diffuse rgb"),
    ("encoder s10 diffuse lab palette", "SCA", "encode diffuse lab"),
]
# Jobs also run with every J, K pair the bounds allow, to show what the
# default search leaves: set FULL_SEARCH=1 (slow).
FULL_JOBS = [
    ("encoder s12 none rgb full", "SCC", "encode none rgb full"),
    ("encoder s12 diffuse rgb full", "SCC", "encode diffuse rgb full"),
]


def read_bmp(path):
    """Rows top first, as an (height, width, 3) RGB array of a 24-bit BMP."""
    with open(path, "rb") as source:
        data = source.read()
    offset = int.from_bytes(data[10:14], "little")
    width = int.from_bytes(data[18:22], "little", signed=True)
    height = int.from_bytes(data[22:26], "little", signed=True)
    stride = (3 * width + 3) // 4 * 4
    rows = np.frombuffer(data, np.uint8, stride * abs(height), offset).reshape(abs(height), stride)
    pixels = rows[:, :3 * width].reshape(abs(height), width, 3)[:, :, ::-1]
    return pixels if height < 0 else pixels[::-1]


def run(words, **kwargs):
    return subprocess.run(words, check=True, stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, **kwargs)


def make_screen_picture(build, photo, work):
    name = os.path.splitext(photo)[0]
    bmp = os.path.join(work, name + ".bmp")
    screen = os.path.join(work, name + "-256.bmp")
    run(["convert", os.path.join(PHOTO_FOLDER, photo), "-type", "truecolor", "BMP3:" + bmp])
    run([os.path.join(build, "pravun", "pravun"), bmp, "/m256x212", "/t", screen])
    return screen


def make_file(build, job, picture, out):
    """Writes the screen file; returns the encoder's seconds, or None."""
    words = job[2].split()
    if words[0] == "batch":
        run([os.path.join(build, "tessalo", "tessalo")] + words + [picture, out])
        return None
    result = run([os.path.join(build, "bench", "encode_screen"), picture, out] + words[1:])
    return float(re.search(r"encode seconds ([0-9.]+)", result.stdout).group(1))


def decoded(build, screen_file, work, height, width):
    out = os.path.join(work, "decoded.bmp")
    run([os.path.join(build, "tessalo", "tessalo"), "--decode", screen_file, out])
    return read_bmp(out)[:height, :width].astype(np.float64)  # the levels the DAC shows


def measures(original, shown):
    original = original.astype(np.float64)
    mse = np.mean((original - shown) ** 2)
    psnr = 10 * np.log10(255.0 ** 2 / mse) if mse > 0 else float("inf")

    def lab(picture, blurred):
        picture = picture / 255.0
        if blurred:
            picture = filters.gaussian(picture, sigma=1, channel_axis=-1, preserve_range=True)
        return color.rgb2lab(picture)

    delta = np.mean(color.deltaE_ciede2000(lab(original, False), lab(shown, False)))
    blurred = np.mean(color.deltaE_ciede2000(lab(original, True), lab(shown, True)))
    shift = [np.mean(shown[:, :, i]) - np.mean(original[:, :, i]) for i in range(3)]
    return psnr, delta, blurred, shift


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    jobs = JOBS + (FULL_JOBS if os.environ.get("FULL_SEARCH") == "1" else [])
    results = {job[0]: [] for job in jobs}
    with tempfile.TemporaryDirectory() as work:
        for photo in PHOTOS:
            picture = make_screen_picture(build, photo, work)
            original = read_bmp(picture)
            height, width = original.shape[:2]
            for job in jobs:
                out = os.path.join(work, "PIC." + job[1])
                seconds = make_file(build, job, picture, out)
                shown = decoded(build, out, work, height, width)
                results[job[0]].append(measures(original, shown) + (seconds,))

    print("photos: " + ", ".join(PHOTOS) + " (each 256 x 212)")
    print("%-34s %7s %8s %8s %16s %9s" % ("job (mean over the photos)", "PSNR", "dE00",
                                        "dE00 blur", "shift R G B", "s/screen"))
    for job in jobs:
        rows = results[job[0]]
        psnr = np.mean([r[0] for r in rows])
        delta = np.mean([r[1] for r in rows])
        blurred = np.mean([r[2] for r in rows])
        shift = np.mean([r[3] for r in rows], axis=0)
        times = [r[4] for r in rows if r[4] is not None]
        seconds = "%9.3f" % np.mean(times) if times else "%9s" % "-"
        print("%-34s %7.2f %8.3f %8.3f %5.2f %5.2f %5.2f %s" % (
            job[0], psnr, delta, blurred, shift[0], shift[1], shift[2], seconds))

    def mean(label, index):
        return np.mean([r[index] for r in results[label]], axis=0)

    def worst_shift(label):
        return np.max(np.abs(mean(label, 3)))

    best12 = min((job[0] for job in jobs if job[0].startswith("encoder s12 diffuse")),
                 key=lambda label: np.mean([r[2] for r in results[label]]))
    for palette_job in ("encoder s10 diffuse rgb palette", "encoder s10 diffuse lab palette"):
        below = sum(p[2] < q[2] for p, q in zip(results[palette_job], results[best12]))
        print("%s: blurred dE00 below %s on %d of %d photos (%s)" % (
            palette_job, best12, below, len(PHOTOS),
            " ".join("%.3f/%.3f" % (p[2], q[2])
                     for p, q in zip(results[palette_job], results[best12]))))
    below = sum(p[2] < q[2] for p, q in zip(results["encoder s10 diffuse rgb palette"],
                                            results[best12]))

    print()
    print("%-46s %10s %10s %s" % ("measure (mean over the photos)", "classic", "encoder", "goal"))
    rows = [
        ("screen 12 PSNR, dither none (dB)", mean("classic s12 2 4 1 0 0 y", 0),
         mean("encoder s12 none rgb", 0), "at least 34.5"),
        ("screen 12 blurred CIEDE2000, diffuse", mean("classic s12 2 4 1 2 1 y", 2),
         mean("encoder s12 diffuse rgb", 2), "at most 0.9"),
        ("mean colour shift, worst channel, diffuse", worst_shift("classic s12 2 4 1 2 1 y"),
         worst_shift("encoder s12 diffuse rgb"), "at most 0.3"),
        ("screen 10 palette pixels, blurred CIEDE2000", mean("classic s10 3 4 1 2 1 y", 2),
         mean("encoder s10 diffuse rgb palette", 2),
         "at most 0.85; below best s12 on %d of %d" % (below, len(PHOTOS))),
        ("time per screen 12, diffuse (s)", float("nan"), mean("encoder s12 diffuse rgb", 4),
         "at most 0.1"),
        ("time per screen 10 with palette fitting (s)", float("nan"),
         mean("encoder s10 diffuse rgb palette", 4), "at most 0.5"),
    ]
    for label, classic, encoder, goal in rows:
        print("%-46s %10.3f %10.3f %s" % (label, classic, encoder, goal))


if __name__ == "__main__":
    main()
