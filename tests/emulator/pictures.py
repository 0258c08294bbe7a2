"""Test pictures and the comparison for the emulator check.

  pictures.py saturated OUT.bmp      hues at full saturation, 256 x 212
  pictures.py small OUT.bmp          37 x 23 pixels of seeded random colours
  pictures.py bytes OUT              a BSAVE file of seeded random VRAM bytes;
                                     an .SCB name also gets a random palette
                                     table at 0xFA80
  pictures.py compare SHOT.png DECODED.bmp
                                     prints the pixels compared and how many
                                     differ in any byte; status 1 if any
"""
import colorsys
import random
import sys

from PIL import Image

# Where MSX pixel (0, 0) lies in the emulator's 320 x 240 screenshot.
SHOT_LEFT, SHOT_TOP = 36, 14


def saturated(name):
    picture = Image.new("RGB", (256, 212))
    for y in range(212):
        for x in range(256):
            # Hue across, brightness down; every fifth column a hard jump to
            # the opposite hue, so that groups of 4 mix far-apart colours.
            hue = x / 256 + (0.5 if x % 5 == 0 else 0)
            value = 1 - y / 424 if y < 106 else (212 - y) / 106
            red, green, blue = colorsys.hsv_to_rgb(hue % 1, 1, value)
            picture.putpixel((x, y), (round(255 * red), round(255 * green), round(255 * blue)))
    picture.save(name)


def small(name):
    noise = random.Random(7)
    picture = Image.new("RGB", (37, 23))
    picture.putdata([tuple(noise.randrange(256) for _ in range(3)) for _ in range(37 * 23)])
    picture.save(name)


def random_bytes(name):
    noise = random.Random(11)
    with_palette = name.upper().endswith(".SCB")
    end = 0xFA9F if with_palette else 0xD3FF
    body = bytearray(noise.randrange(256) for _ in range(end + 1))
    if with_palette:
        for colour in range(16):  # 0RRR0BBB, 00000GGG
            body[0xFA80 + 2 * colour] = noise.randrange(256) & 0x77
            body[0xFA81 + 2 * colour] = noise.randrange(8)
    header = bytes([0xFE, 0, 0, end & 0xFF, end >> 8, 0, 0])
    with open(name, "wb") as out:
        out.write(header + body)


def compare(shot_name, decoded_name):
    shot = Image.open(shot_name).convert("RGB")
    decoded = Image.open(decoded_name).convert("RGB")
    width, height = decoded.size
    differing = 0
    for y in range(height):
        for x in range(width):
            machine = shot.getpixel((SHOT_LEFT + x, SHOT_TOP + y))
            expected = decoded.getpixel((x, y))
            if machine != expected:
                if differing < 5:
                    print(f"  ({x}, {y}): emulator {machine}, decode {expected}")
                differing += 1
    print(f"{width * height} {differing}")
    return 1 if differing else 0


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "compare":
        sys.exit(compare(sys.argv[2], sys.argv[3]))
    {"saturated": saturated, "small": small, "bytes": random_bytes}[command](sys.argv[2])
