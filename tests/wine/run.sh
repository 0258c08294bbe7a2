#!/usr/bin/env bash
# Runs the Windows programs under Wine and compares every console byte, exit
# status and output file with the native programs on the same pictures:
# every converter preset with several factors and dithering levels, the
# resizer's ways of sizing, PNG and JPEG inputs (decoded through the
# temporary file in the user's temporary folder), refusals, and the wildcard
# expansion of words. Needs Debian's g++-mingw-w64-x86-64-posix, wine and
# libz-mingw-w64-dev; the static decoders are built first, from Debian's
# source packages, by tests/wine/build_libraries.sh (once, in
# build-windows-libraries).
#
#   tests/wine/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
native=build
windows=build-windows
libraries=$PWD/build-windows-libraries
cmake -S . -B "$native" >/dev/null
cmake --build "$native" -j "$(nproc)" --target tessalo pravun make_picture >/dev/null
tests/wine/build_libraries.sh "$libraries"
cmake -S . -B "$windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DPICTURE_TOOLS_TESTS=OFF -DPICTURE_TOOLS_WINDOWS_LIBRARIES="$libraries" >/dev/null 2>&1
cmake --build "$windows" -j "$(nproc)" --target tessalo pravun >/dev/null

export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-picture-tools}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/native" "$work/windows"
for size in "1 1" "5 3" "37 23" "160 120"; do
    set -- $size
    for side in native windows; do
        "$native/bench/make_picture" "$1" "$2" "$work/$side/p$1x$2.bmp"
    done
done
printf 'BM' >"$work/native/bad.bmp"
photos=(grey16-trns.png palette4-trns.png rgba8-adam7.png ycc420.jpg progressive.jpg cmyk.jpg
        orientation6.jpg orientation3.jpg)
for photo in "${photos[@]}"; do cp "tests/photos/$photo" "$work/native/"; done
head -c 100 tests/photos/rgb16.png >"$work/native/cut.png"
head -c 300 tests/photos/ycc444.jpg >"$work/native/cut.jpg"
for file in bad.bmp "${photos[@]}" cut.png cut.jpg; do cp "$work/native/$file" "$work/windows/"; done

passed=0 failed=0
# Runs one command line natively and under Wine in twin folders and compares.
compare() {
    local program=$1; shift
    local top=$PWD status
    status=0
    (cd "$work/native" && "$top/$native/$program/$program" "$@" </dev/null >console) || status=$?
    echo "$status" >"$work/native/status"
    status=0
    (cd "$work/windows" && wine "$top/$windows/$program/$program.exe" "$@" </dev/null \
         >console 2>/dev/null) || status=$?
    echo "$status" >"$work/windows/status"
    if diff -r -q "$work/native" "$work/windows" >/dev/null; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "DIFFERS: $program $*"
        diff -r -q "$work/native" "$work/windows" || true
    fi
}

for picture in p1x1 p5x3 p37x23 p160x120; do
    compare tessalo batch 1 1 1 0 0 n "$picture.bmp" out.bmp
    compare tessalo batch 2 2 2 2 1 y "$picture.bmp" out.bmp
    compare tessalo batch 3 4 1 1 2 n "$picture.bmp" out.bmp
    compare tessalo batch 4 2 2 0 0 "$picture.bmp" out.bmp
    compare tessalo batch 4 1 4 2 2 "$picture.bmp" out.bmp
    compare tessalo batch 5 224 240 192 16 8 32 2 1 1 2 y "$picture.bmp" out.bmp
    compare tessalo batch 6 252 248 240 2 4 8 4 2 2 1 "$picture.bmp" out.bmp
    compare pravun "$picture.bmp" /h8 out.bmp
    compare pravun "$picture.bmp" /m16x12 /t out.bmp
    compare pravun "$picture.bmp" /v40 /a50 out.bmp
done
for photo in "${photos[@]}"; do
    compare tessalo batch 2 4 1 2 1 y "$photo" out.bmp
    compare pravun "$photo" /m16x12 /t out.bmp
done
compare tessalo batch 2 2 2 2 1 y cut.png out.bmp
compare pravun cut.jpg /h8 out.bmp
compare pravun p160x120.bmp /m64x64 out.bmp
compare pravun p37x23.bmp /h333 out.bmp
compare tessalo batch 2 2 2 2 1 y bad.bmp out.bmp
compare tessalo batch 2 2 2 2 1 y missing.bmp out.bmp
compare pravun bad.bmp /h8 out.bmp
compare pravun p5x3.bmp /h1 out.bmp
compare tessalo --version
compare pravun --help
# Wildcards in words are expanded by the program's start-up, as on the
# command prompt: p3?x23.bmp names p37x23.bmp.
top=$PWD
(cd "$work/windows" && wine "$top/$windows/tessalo/tessalo.exe" batch 1 1 1 0 0 n \
     'p3?x23.bmp' wild.bmp </dev/null >/dev/null 2>&1) || true
(cd "$work/native" && "$top/$native/tessalo/tessalo" batch 1 1 1 0 0 n p37x23.bmp wild.bmp \
     </dev/null >/dev/null 2>&1) || true
if cmp -s "$work/native/wild.bmp" "$work/windows/wild.bmp"; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "DIFFERS: wildcard expansion"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
