#!/usr/bin/env bash
# Converter benchmark: a 6000 x 4000 photo-like picture through YJK preset 2
# with error diffusion on both planes and through YUV preset 4 with 2 x 2
# subsampling, beside the time `cp` takes to copy the same file and, where
# GraphicsMagick is installed, its YUV round trip of the same picture, all in
# the same run. Prints wall time, megapixels per second and peak memory.
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

# Runs a command three times and reports the fastest run and its peak memory.
measure() {
    local label=$1; shift
    local best="" memory=""
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
measure "tessalo YJK preset 2, 1x1, diffusion 2/2" \
    "$build/tessalo/tessalo" batch 2 1 1 2 2 n "$work/in.bmp" "$work/yjk.bmp"
measure "tessalo YUV preset 4, 2x2, no dithering" \
    "$build/tessalo/tessalo" batch 4 2 2 0 0 "$work/in.bmp" "$work/yuv.bmp"
if command -v gm >/dev/null; then
    measure "gm convert -colorspace YUV -colorspace RGB" \
        gm convert "$work/in.bmp" -colorspace YUV -colorspace RGB "$work/gm.bmp"
else
    echo "gm convert: not installed (apt-get install graphicsmagick)"
fi
