#!/usr/bin/env bash
# Makes the PNG and JPEG files of the decoder tests and their twins: the 24-bit
# BMP that `convert IN -type truecolor BMP3:TWIN` makes of each (with
# -auto-orient for the EXIF orientations, which the programs apply). The
# files are committed; run this again only to change them. Needs Debian's
# imagemagick, python3-pil, libjpeg-turbo-progs and libjpeg62-turbo-dev.
#
#   tests/photos/make_photos.sh
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two small pictures whose pixels all differ: 7 x 5 for PNG, 17 x 11 for JPEG
# (blocks of 8 and 16 left part full at the right and the bottom).
/usr/bin/python3 - "$work" <<'PYTHON'
import sys
for name, w, h in (("small", 7, 5), ("block", 17, 11)):
    pixels = bytes(v for y in range(h) for x in range(w)
                   for v in ((x * 37 + y * 11) % 256, (y * 53 + x * 5 + 40) % 256,
                             (x * y * 29 + 90) % 256))
    open(f"{sys.argv[1]}/{name}.ppm", "wb").write(b"P6\n%d %d\n255\n" % (w, h) + pixels)
PYTHON
small=$work/small.ppm
block=$work/block.ppm

rm -f ./*.png ./*.jpg ./*.twin.bmp
png() { local name=$1; shift; /usr/bin/python3 png_writer.py "$small" "$name.png" "$@"; }
png grey1 0 1
png grey2-trns 0 2 --trns
png grey4 0 4
png grey8 0 8
png grey16-trns 0 16 --trns
png grey16-adam7 0 16 --interlace
png grey-alpha8 4 8
png grey-alpha16 4 16
png palette1 3 1
png palette2-adam7 3 2 --interlace
png palette4-trns 3 4 --trns
png palette8-trns 3 8 --trns
png rgb8-trns 2 8 --trns
png rgb16 2 16
png rgba8-adam7 6 8 --interlace
png rgba16 6 16
png rgb8-iccp 2 8 --iccp
png rgb8-srgb 2 8 --srgb
png rgb8-gama045 2 8 --gama 45455
# convert applies a gAMA of 0.8 or more, the programs never do: the twin of
# this one is made from the same pixels without the chunk.
png rgb8-gama100 2 8 --gama 100000

cjpeg -sample 2x2 "$block" >ycc420.jpg
cjpeg -sample 2x1 "$block" >ycc422.jpg
cjpeg -sample 1x2 "$block" >ycc440.jpg
cjpeg -sample 1x1 "$block" >ycc444.jpg
cjpeg -grayscale "$block" >grey.jpg
cjpeg -progressive "$block" >progressive.jpg
cjpeg -arithmetic "$block" >arithmetic.jpg
cjpeg -restart 1 "$block" >restart.jpg
convert "$block" -colorspace CMYK magick-ycck.jpg
cc inks_writer.c -ljpeg -o "$work/inks_writer"
"$work/inks_writer" "$block" cmyk.jpg cmyk
"$work/inks_writer" "$block" ycck.jpg ycck
/usr/bin/python3 - "$block" <<'PYTHON'
import sys
from PIL import Image
picture = Image.open(sys.argv[1])
for orientation in range(1, 9):
    exif = Image.Exif()
    exif[0x0112] = orientation
    picture.save(f"orientation{orientation}.jpg", exif=exif.tobytes())
PYTHON

for file in ./*.png ./*.jpg; do
  name=${file%.*}
  orient=()
  case $name in ./orientation*) orient=(-auto-orient) ;; esac
  convert "$file" "${orient[@]}" -type truecolor "BMP3:$name.twin.bmp"
done
/usr/bin/python3 png_writer.py "$small" "$work/rgb8.png" 2 8
convert "$work/rgb8.png" -type truecolor BMP3:rgb8-gama100.twin.bmp
