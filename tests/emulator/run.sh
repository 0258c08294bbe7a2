#!/usr/bin/env bash
# Screen files checked in an independent emulator: openMSX (Debian packages
# openmsx and cbios, with python3-pil for the pictures) running a C-BIOS
# MSX2+ headless.
#
# Pictures made here (a photo-like one resized by pravun to fill 256 x 212,
# one of saturated colours, a small one of odd width) are written by tessalo
# as screen 12 (.SCC) and screen 10 (.SCA) files, and by the one command's
# encoder as screen 12 and screen 11 with palette pixels; two files of random VRAM
# bytes add every Y, J, K and, in screen 11 (.SCB), attribute pixels with a
# palette table. Each file is shown by the emulator and its screenshot must
# equal tessalo --decode of the same file in every pixel, byte for byte.
#
#   tests/emulator/run.sh [BUILD_DIR]     BUILD_DIR defaults to build
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "${1:-build}" && pwd)
here=$(pwd)/tests/emulator
tessalo="$build/tessalo/tessalo"
pravun="$build/pravun/pravun"
make_picture="$build/bench/make_picture"
python=/usr/bin/python3
[ -x "$python" ] || python=python3
for program in "$tessalo" "$pravun" "$make_picture" openmsx; do
  command -v "$program" >/dev/null || { echo "missing: $program (build it, or install openmsx cbios)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
start=$(date +%s.%N)

"$make_picture" 640 480 photo-large.bmp
"$pravun" photo-large.bmp /m256x212 /t photo.bmp >/dev/null
"$python" "$here/pictures.py" saturated saturated.bmp
"$python" "$here/pictures.py" small small.bmp
# Each picture in both screens, with different dithering, and the custom
# option with the screen's masks for the small one.
"$tessalo" batch 2 4 1 2 2 y photo.bmp PHOTO.SCC >/dev/null
"$tessalo" batch 3 4 1 1 1 n photo.bmp PHOTO.SCA >/dev/null
"$tessalo" batch 2 4 1 0 0 y saturated.bmp SATURATED.SCC >/dev/null
"$tessalo" batch 3 4 1 2 1 y saturated.bmp SATURATED.SCA >/dev/null
"$tessalo" batch 5 248 252 252 4 2 2 4 1 1 2 n small.bmp SMALL.SCC >/dev/null
"$tessalo" batch 5 240 252 252 0 0 0 4 1 2 0 y small.bmp SMALL.SCA >/dev/null
# The one command's decode-aware encoder, screen 11 with palette pixels (its
# file carries the palette table).
"$tessalo" --screen 12 photo.bmp BEST.SCC
"$tessalo" --screen 11 saturated.bmp BEST.SCB
"$python" "$here/pictures.py" bytes RANDOM.SCC
"$python" "$here/pictures.py" bytes PALETTE.SCB

files=(PHOTO.SCC PHOTO.SCA SATURATED.SCC SATURATED.SCA SMALL.SCC SMALL.SCA BEST.SCC BEST.SCB
       RANDOM.SCC PALETTE.SCB)
{
  printf 'set jobs {\n'
  for file in "${files[@]}"; do
    case $file in
      *.SCC) r25=0x08 palette=0 ;;
      *.SCA) r25=0x18 palette=0 ;;
      *.SCB) r25=0x18 palette=1 ;;
    esac
    printf '  {%s %s %s %s}\n' "$work/$file" "$r25" "$palette" "$work/$file.png"
  done
  printf '}\nsource %s\n' "$here/show_screens.tcl"
} >jobs.tcl
mkdir home
OPENMSX_HOME="$work/home" SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
  timeout 300 openmsx -machine C-BIOS_MSX2+ -script jobs.tcl </dev/null >openmsx.log 2>&1 ||
  { cat openmsx.log; echo "openMSX failed"; exit 1; }

compared=0
failed=0
for file in "${files[@]}"; do
  "$tessalo" --decode "$file" "$file.bmp" >/dev/null
  if [ ! -s "$file.png" ]; then
    echo "FAIL $file: no screenshot"; failed=$((failed + 1)); continue
  fi
  if result=$("$python" "$here/pictures.py" compare "$file.png" "$file.bmp"); then :; else failed=$((failed + 1)); fi
  read -r pixels differing <<<"$(tail -n 1 <<<"$result")"
  head -n -1 <<<"$result"
  echo "$file: $pixels pixels, $differing differ"
  compared=$((compared + pixels))
done
seconds=$(awk -v start="$start" -v end="$(date +%s.%N)" 'BEGIN { print end - start }')
printf '%d pixels compared in %.1f s, %d files differ\n' "$compared" "$seconds" "$failed"
[ "$failed" -eq 0 ]
