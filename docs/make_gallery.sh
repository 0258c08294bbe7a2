#!/usr/bin/env bash
# Makes the README's gallery in docs/gallery/ (run by hand, not by CI; needs
# ImageMagick and python3): the project's two test pictures, the embedded
# 640 x 480 landscape of make_picture and a 512 x 384 still life drawn by
# docs/fruit_picture.py, each with its previews and its resized versions.
#
#   docs/make_gallery.sh [BUILD_DIR]     BUILD_DIR defaults to build
#
# The originals are shown whole at 320 pixels wide. The previews are shown as
# a 160 x 120 detail at twice the size, pixels repeated, since scaling them
# down would smooth away the dithering and the chroma blocks they are about;
# the same detail of the original stands beside them. The resized pictures
# are shown as they are, and so are the filled picture's screen 12 preview and
# its screen file as the chip shows it (tessalo --decode). Last, the one
# command's two encoders side by side, classic and best, as the machine shows
# them: a 96 x 80 detail at three times the size, pixels repeated.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
gallery=docs/gallery

# Debian's ImageMagick and python3 by full name where present.
pick() { if [ -x "/usr/bin/$1" ]; then echo "/usr/bin/$1"; else command -v "$1"; fi; }
convert=$(pick convert)
python=$(pick python3)

cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target tessalo pravun make_picture
tessalo="$build/tessalo/tessalo"
pravun="$build/pravun/pravun"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_picture" 640 480 "$work/landscape.bmp"
"$python" docs/fruit_picture.py 512 384 "$work/fruit.bmp"

# png OUT.PNG IN [OPERATIONS...]: PNG without time stamps, so that an
# unchanged picture gives unchanged bytes.
png() { "$convert" "${@:2}" -strip -define png:exclude-chunks=date,time "$1"; }

# Previews: file name suffix and the batch words before the file names.
previews=(
  "screen12:2 4 1 0 0 n"
  "screen12-dither:2 4 1 2 1 n"
  "screen12-dac:2 4 1 0 0 y"
  "screen12-dither-dac:2 4 1 2 1 y"
  "screen10:3 4 1 2 1 y"
  "yuv:4 2 2 0 0"
)
# The detail shown of each picture: where hard edges meet smooth areas.
declare -A detail=([landscape]=160x120+230+220 [fruit]=160x120+140+200)
declare -A screenDetail=([landscape]=96x80+100+100 [fruit]=96x80+70+90)

mkdir -p "$gallery"
rm -f "$gallery"/*.png
for picture in landscape fruit; do
  source="$work/$picture.bmp"
  png "$gallery/$picture-original.png" "$source" -resize 320x
  png "$gallery/$picture-original-detail.png" "$source" -crop "${detail[$picture]}" +repage -scale 200%
  for preview in "${previews[@]}"; do
    name=${preview%%:*}
    read -ra words <<<"${preview#*:}"
    "$tessalo" batch "${words[@]}" "$source" "$work/$picture-$name.bmp" >/dev/null
    png "$gallery/$picture-$name.png" "$work/$picture-$name.bmp" \
      -crop "${detail[$picture]}" +repage -scale 200%
  done
  "$pravun" "$source" /m256x212 "$work/$picture-fit.bmp" >/dev/null
  "$pravun" "$source" /m256x212 /t "$work/$picture-fill.bmp" >/dev/null
  png "$gallery/$picture-fit.png" "$work/$picture-fit.bmp"
  png "$gallery/$picture-fill.png" "$work/$picture-fill.bmp"
  # The filled picture's screen 12 file as the chip shows it, beside the
  # preview made with the same words.
  "$tessalo" batch 2 4 1 2 1 y "$work/$picture-fill.bmp" "$work/$picture-msx-preview.bmp" >/dev/null
  "$tessalo" batch 2 4 1 2 1 y "$work/$picture-fill.bmp" "$work/$picture.SCC" >/dev/null
  "$tessalo" --decode "$work/$picture.SCC" "$work/$picture-msx-machine.bmp" >/dev/null
  png "$gallery/$picture-msx-preview.png" "$work/$picture-msx-preview.bmp"
  png "$gallery/$picture-msx-machine.png" "$work/$picture-msx-machine.bmp"
  for encoder in classic best; do
    "$tessalo" --screen 12 --encoder "$encoder" "$source" "$work/$picture-$encoder.bmp"
    png "$gallery/$picture-$encoder.png" "$work/$picture-$encoder.bmp" \
      -crop "${screenDetail[$picture]}" +repage -scale 300%
  done
done
du -ch "$gallery"/*.png | tail -n 1
