#!/usr/bin/env bash
# Converter benchmark: a 6000 x 4000 photo-like picture through YJK preset 2
# with 4 x 1 subsampling and error diffusion on both planes and through YUV
# preset 4 with 2 x 2 subsampling, beside the time `cp` takes to copy the
# same file and, where GraphicsMagick is installed, its YUV round trip of the
# same picture, all in the same run. Prints wall time, megapixels per second,
# peak memory and each job's time as a share of GraphicsMagick's; then the
# peak memory of every preset on 6000 x 4000 and 12000 x 8000 pictures (the
# converter holds a few rows, so it must not grow with the height).
#
#   bench/tessalo_bench.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake --build "$build" --target tessalo make_picture >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

width=6000 height=4000
"$build/bench/make_picture" "$width" "$height" "$work/in.bmp"
megapixels=$(awk "BEGIN { print $width * $height / 1e6 }")

# Runs a command three times and reports the fastest run and its peak memory;
# the fastest time stays in $best.
measure() {
    local label=$1; shift
    local memory=""
    best="" # left set for the caller
    for _ in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
        read -r seconds kilobytes <"$work/time"
        if [ -z "$best" ] || awk "BEGIN { exit !($seconds < $best) }"; then
            best=$seconds memory=$kilobytes
        fi
    done
    awk -v l="$label" -v s="$best" -v k="$memory" -v mp="$megapixels" -v px="$width*$height" \
        'BEGIN { printf "%-44s %6.2f s %8.1f MP/s %8.1f MB peak %5.2f bytes/pixel\n",
                 l, s, (s > 0 ? mp / s : 0), k / 1024, k * 1024 / (mp * 1e6) }'
}

echo "picture: ${width} x ${height} ($megapixels MP, $(stat -c %s "$work/in.bmp") bytes)"
measure "cp" cp "$work/in.bmp" "$work/copy.bmp"
measure "tessalo YJK preset 2, 4x1, diffusion 2/2" \
    "$build/tessalo/tessalo" batch 2 4 1 2 2 y "$work/in.bmp" "$work/yjk.bmp"
yjk=$best
measure "tessalo YUV preset 4, 2x2, no dithering" \
    "$build/tessalo/tessalo" batch 4 2 2 0 0 "$work/in.bmp" "$work/yuv.bmp"
yuv=$best
if command -v gm >/dev/null; then
    measure "gm convert -colorspace YUV -colorspace RGB" \
        gm convert "$work/in.bmp" -colorspace YUV -colorspace RGB "$work/gm.bmp"
    awk -v a="$yjk" -v b="$yuv" -v g="$best" 'BEGIN {
        printf "share of gm time: YJK %.2f (target 0.40), YUV %.2f (target 0.30)\n", a / g, b / g }'
else
    echo "gm convert: not installed (apt-get install graphicsmagick)"
fi

# Peak memory of every preset, on the picture above and on one four times
# its size.
"$build/bench/make_picture" 12000 8000 "$work/large.bmp"
for picture in in large; do
    line="peak memory, $(stat -c %s "$work/$picture.bmp") byte input:"
    for words in "1 1 1 2 2 n" "2 4 1 2 2 y" "3 4 1 2 2 y" "4 2 2 2 2" "5 248 252 252 4 2 2 4 4 2 2 y" \
                 "6 255 255 255 0 0 0 1 1 0 0"; do
        /usr/bin/time -f "%M" -o "$work/time" "$build/tessalo/tessalo" batch $words \
            "$work/$picture.bmp" "$work/out.bmp" >/dev/null
        line+=" option ${words%% *} $(awk '{ printf "%.1f MB", $1 / 1024 }' "$work/time"),"
    done
    echo "${line%,}"
done
