#!/usr/bin/env bash
# Resizer benchmark: three jobs on photo-like pictures made by make_picture,
#   6000 x 4000 to width 256            (strong reduction)
#   1920 x 1080 to width 3840           (enlargement)
#   6000 x 4000 into /m320x240 /t       (fill a box and cut the overhang)
# each with the fixed-point arithmetic and with /e, the exact mean, beside
# the time `cp` takes to copy the same input and, where they are
# installed, the same job done by Pillow's resize(..., Image.BOX) and by
# `gm convert -filter box -resize`, all in the same run so that the
# comparison holds on a busy machine. Prints the fastest of three runs and its
# peak resident memory. Not part of the tests.
#
#   bench/pravun_bench.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake --build "$build" --target pravun make_picture >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

pravun="$build/pravun/pravun"
python=""
for candidate in /usr/bin/python3 python3; do
    if command -v "$candidate" >/dev/null && "$candidate" -c "import PIL" 2>/dev/null; then
        python=$candidate
        break
    fi
done
have_time=no
[ -x /usr/bin/time ] && have_time=yes

# Pillow's job: load, resize with the box filter (from a source region when
# one is given, to cut like /t), save. It writes the time spent inside
# Python, without the interpreter's start, to the file named last.
cat >"$work/pillow_job.py" <<'PYTHON'
import sys, time
from PIL import Image
start = time.perf_counter()
source, target, width, height, region, report = sys.argv[1:7]
box = tuple(float(v) for v in region.split(",")) if region else None
Image.open(source).resize((int(width), int(height)), Image.BOX, box=box).save(target)
open(report, "w").write("%.4f\n" % (time.perf_counter() - start))
PYTHON

# Runs a command three times; prints the fastest wall time (from the shell's
# microsecond clock) and the peak resident memory of that run.
measure() {
    local label=$1; shift
    local best="" memory="-"
    for _ in 1 2 3; do
        local start end seconds kilobytes="-" status=0
        start=$EPOCHREALTIME
        if [ "$have_time" = yes ]; then
            /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>&1 || status=$?
            kilobytes=$(tail -n 1 "$work/time")
        else
            "$@" >/dev/null 2>&1 || status=$?
        fi
        end=$EPOCHREALTIME
        if [ "$status" -ne 0 ]; then
            printf "  %-60s failed (exit status %s)\n" "$label" "$status"
            return
        fi
        seconds=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }')
        if [ -z "$best" ] || awk "BEGIN { exit !($seconds < $best) }"; then
            best=$seconds memory=$kilobytes
        fi
    done
    if [ "$memory" = "-" ]; then
        printf "  %-60s %8.3f s\n" "$label" "$best"
    else
        awk -v l="$label" -v s="$best" -v k="$memory" \
            'BEGIN { printf "  %-60s %8.3f s %8.1f MB peak\n", l, s, k / 1024 }'
    fi
}

# One job: the target size, the source region that /t keeps ("" for all of
# it) and the gm geometry arguments for the peers, then pravun's words.
job() {
    local title=$1 input=$2 width=$3 height=$4 region=$5 gm_args=$6
    shift 6
    echo "$title"
    measure "cp (same input)" cp "$input" "$work/copy.bmp"
    measure "pravun $*" "$pravun" "$input" "$@" "$work/pravun.bmp"
    measure "pravun $* /e (exact mean)" "$pravun" "$input" "$@" /e "$work/pravun.bmp"
    if [ -n "$python" ]; then
        measure "Pillow resize(Image.BOX)" "$python" "$work/pillow_job.py" "$input" \
            "$work/pillow.bmp" "$width" "$height" "$region" "$work/pillow_inner"
        printf "  %-60s %8.3f s\n" "  of which inside Python" "$(cat "$work/pillow_inner")"
    else
        echo "  Pillow: not installed (apt-get install python3-pil)"
    fi
    if command -v gm >/dev/null; then
        # shellcheck disable=SC2086
        measure "gm convert -filter box $gm_args" \
            gm convert "$input" -filter box $gm_args "BMP3:$work/gm.bmp"
    else
        echo "  gm convert: not installed (apt-get install graphicsmagick)"
    fi
}

"$build/bench/make_picture" 6000 4000 "$work/large.bmp"
"$build/bench/make_picture" 1920 1080 "$work/hd.bmp"
echo "pictures: 6000 x 4000 ($(stat -c %s "$work/large.bmp") bytes)," \
     "1920 x 1080 ($(stat -c %s "$work/hd.bmp") bytes)"

job "6000 x 4000 to 256 x 170" "$work/large.bmp" 256 170 "" "-resize 256x170!" /h256
job "1920 x 1080 to 3840 x 2160" "$work/hd.bmp" 3840 2160 "" "-resize 3840x2160!" /h3840
# /m320x240 /t scales to 360 x 240 and keeps columns 20 to 339, that is
# source columns 20 x 6000 / 360 to 340 x 6000 / 360.
job "6000 x 4000 into 320 x 240, filled and cut" "$work/large.bmp" 320 240 \
    "333.333,0,5666.667,4000" "-resize 360x240! -crop 320x240+20+0 +repage" /m320x240 /t
