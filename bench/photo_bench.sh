#!/usr/bin/env bash
# PNG and JPEG inputs: a 6000 x 4000 photo-like picture as a baseline 4:2:0
# JPEG (quality 90), a progressive one, one with EXIF orientation 6 (a quarter
# turn, written column by column into the temporary file) and an 8-bit RGB
# PNG, each through tessalo's screen 12 preset and pravun's fill of the
# 256 x 212 screen, beside `convert FILE -type truecolor BMP3:OUT` of the
# same file, all in the same run. Prints the fastest of three runs' wall
# time and its peak memory (/usr/bin/time: maximum resident set size).
#
#   bench/photo_bench.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake --build "$build" --target tessalo pravun make_picture >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/make_picture" 6000 4000 "$work/in.bmp"
convert "$work/in.bmp" -quality 90 -sampling-factor 2x2 "$work/baseline.jpg"
convert "$work/in.bmp" -quality 90 -sampling-factor 2x2 -interlace JPEG "$work/progressive.jpg"
/usr/bin/python3 - "$work" <<'PYTHON'
import sys
from PIL import Image
Image.MAX_IMAGE_PIXELS = None
picture = Image.open(f"{sys.argv[1]}/in.bmp")
exif = Image.Exif()
exif[0x0112] = 6
picture.save(f"{sys.argv[1]}/turned.jpg", quality=90, exif=exif.tobytes())
PYTHON
convert "$work/in.bmp" "PNG24:$work/photo.png"

measure() {
    local label=$1; shift
    local best="" memory="" seconds kilobytes
    for _ in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
        read -r seconds kilobytes <"$work/time"
        if [ -z "$best" ] || awk "BEGIN { exit !($seconds < $best) }"; then
            best=$seconds memory=$kilobytes
        fi
    done
    awk -v l="$label" -v s="$best" -v k="$memory" \
        'BEGIN { printf "%-52s %6.2f s %8.1f MB peak\n", l, s, k / 1024 }'
}

for file in baseline.jpg progressive.jpg turned.jpg photo.png; do
    size=$(stat -c %s "$work/$file")
    echo "== $file ($((size / 1024)) KiB)"
    measure "tessalo batch 2 4 1 2 1 y $file out.bmp" \
        "$build/tessalo/tessalo" batch 2 4 1 2 1 y "$work/$file" "$work/out.bmp"
    measure "pravun $file /m256x212 /t out.bmp" \
        "$build/pravun/pravun" "$work/$file" /m256x212 /t "$work/out.bmp"
    measure "convert $file -type truecolor BMP3:out.bmp" \
        convert "$work/$file" -type truecolor "BMP3:$work/out.bmp"
done
