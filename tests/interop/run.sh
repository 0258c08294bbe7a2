#!/usr/bin/env bash
# Interoperability with real tools: ImageMagick, Pillow, netpbm, ffmpeg and
# cjpeg (Debian's packages imagemagick, python3-pil, netpbm, ffmpeg,
# libjpeg-turbo-progs).
#
# Inputs: the same known pixels written as a 24-bit BMP by ImageMagick (its
# default, with a larger information header, and its BMP3: form), by Pillow,
# by netpbm's ppmtobmp and in the plain 54-byte form; both programs must give
# the same output from every one of them as from the plain form.
# Other layouts: the files these writers make in every other common layout
# (palette, run-length, 16- and 32-bit, OS/2 headers, top-down) must give
# what their plain 24-bit twins give.
# PNG and JPEG: the files these writers make of every kind (colour types and
# depths, interlacing, subsamplings, progressive, arithmetic coding, restart
# markers, inks, EXIF orientations) must give what their twins give, the
# 24-bit BMPs `convert FILE -type truecolor BMP3:TWIN` makes of them (with
# -auto-orient, since the programs turn a JPEG upright by its orientation).
# Outputs: every picture the programs write must be read back by Pillow,
# ImageMagick and netpbm without a word on standard error, with the expected
# size and with the pixels the file holds.
#
#   tests/interop/run.sh [BUILD_DIR]     BUILD_DIR defaults to build
#
# Ends with a line "N passed, M failed" and a non-zero status after any failure.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
build="${1:-build}"
tessalo="$build/tessalo/tessalo"
pravun="$build/pravun/pravun"
tool="tests/interop/bmp_tool.py"

# The tools of Debian's packages by full name where present: a python3 or
# convert found earlier on the PATH (a virtual environment, a local wrapper)
# may lack Pillow or behave differently.
pick() { if [ -x "/usr/bin/$1" ]; then echo "/usr/bin/$1"; else command -v "$1" || echo "$1"; fi; }
python=$(pick python3)
convert=$(pick convert)
identify=$(pick identify)
ppmtobmp=$(pick ppmtobmp)
bmptopnm=$(pick bmptopnm)
ffmpeg=$(pick ffmpeg)
cjpeg=$(pick cjpeg)

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() {
  failed=$((failed + 1))
  echo "FAIL $1"
  [ -n "${2:-}" ] && printf '    %s\n' "${2//$'\n'/$'\n'    }"
  return 0
}
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

# check NAME COMMAND...: passes when COMMAND ends with status 0 and prints
# nothing on standard error. Its standard output is kept in $out.
check() {
  local name=$1 errors message
  shift
  errors=$(mktemp)
  if out=$("$@" 2>"$errors") && [ ! -s "$errors" ]; then
    pass
  else
    message=$(cat "$errors")
    [ -n "$out" ] && message+="${message:+$'\n'}$out"
    fail "$name" "$message"
  fi
  rm -f "$errors"
}
# Quiet variants of the tools as commands for check (shellcheck does not see
# those calls).
# shellcheck disable=SC2317
bmp_tool() { "$python" -W error "$tool" "$@"; }
# shellcheck disable=SC2317
run_tessalo() { "$tessalo" batch "$@" >/dev/null; }
# shellcheck disable=SC2317
run_pravun() { "$pravun" "$@" >/dev/null; }
# shellcheck disable=SC2317
to_file() { local target=$1; shift; "$@" >"$target"; }

missing=()
for program in "$python" "$convert" "$identify" "$ppmtobmp" "$bmptopnm" "$ffmpeg" "$cjpeg" "$tessalo" \
  "$pravun"; do
  command -v "$program" >/dev/null || missing+=("$program")
done
"$python" -c "import PIL" 2>/dev/null || missing+=("Pillow for $python")
if [ "${#missing[@]}" -gt 0 ]; then
  fail "missing: ${missing[*]} (install imagemagick python3-pil netpbm ffmpeg libjpeg-turbo-progs; build with cmake --build $build)"
  finish
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# read_back FILE WIDTH HEIGHT: the readers agree with each other and with the
# size the picture must have.
read_back() {
  local file=$1 width=$2 height=$3 name
  name=${file#"$work"/}
  check "$name: identify" "$identify" -format '%m %w %h\n' "$file"
  case "$out" in
    "BMP $width $height" | "BMP3 $width $height") pass ;;
    *) fail "$name: identify reads '$out', BMP $width x $height expected" ;;
  esac
  check "$name: ImageMagick to PPM" "$convert" "$file" "ppm:$file.magick.ppm"
  check "$name: netpbm to PPM" to_file "$file.netpbm.ppm" "$bmptopnm" -quiet "$file"
  check "$name: netpbm's pixels" bmp_tool same-pixels "$file" "$file.netpbm.ppm"
  check "$name: Pillow's and ImageMagick's pixels, header" \
    bmp_tool read-back "$file" "$width" "$height" "$file.magick.ppm"
}

# Converter settings (the batch words before the file names) and resizer
# option words with the size each gives from 37 x 23 and from 40 x 24, by
# the rules of the manual page: the derived side truncated, then the width
# rounded to a multiple of 4 (a remainder of 1 or 2 down, 3 up).
tessalo_settings=("2 2 2 2 1 y" "4 2 2 0 0" "3 4 1 1 2 n" "1 1 1 0 0 Y")
pravun_options=("/h20" "/m16x12 /t" "/v7" "/M64x48")
declare -A resized_size=(
  ["37x23 /h20"]="20 12" ["37x23 /m16x12 /t"]="16 12" ["37x23 /v7"]="12 7" ["37x23 /M64x48"]="64 39"
  ["40x24 /h20"]="20 12" ["40x24 /m16x12 /t"]="16 12" ["40x24 /v7"]="12 7" ["40x24 /M64x48"]="64 38")

for size in 37x23 40x24; do
  width=${size%x*}
  height=${size#*x}
  dir="$work/$size"
  mkdir -p "$dir"
  known="$dir/known.ppm"
  check "$size: known pixels" bmp_tool pixels "$width" "$height" "$known"

  # The same pixels in five BMP forms, each checked to be what it claims.
  check "$size: plain form" bmp_tool plain "$known" "$dir/plain.bmp"
  check "$size: ImageMagick's default form" \
    "$convert" "$known" -type TrueColor "$dir/magick.bmp"
  check "$size: ImageMagick's BMP3 form" \
    "$convert" "$known" -type TrueColor "BMP3:$dir/magick3.bmp"
  check "$size: Pillow's form" bmp_tool pillow "$known" "$dir/pillow.bmp"
  check "$size: netpbm's form" to_file "$dir/netpbm.bmp" "$ppmtobmp" -quiet -bpp=24 "$known"
  forms=(plain magick magick3 pillow netpbm)
  for form in "${forms[@]}"; do
    check "$size: $form.bmp header" bmp_tool header "$dir/$form.bmp"
    read -r info bits _ <<<"$out"
    # ImageMagick's default writes a larger information header (V5), the
    # others the 40-byte one.
    expected_info=40
    [ "$form" = magick ] && expected_info=124
    if [ "$bits" = 24 ] && [ "$info" = "$expected_info" ]; then
      pass
    else
      fail "$size: $form.bmp has a $info-byte information header and $bits bits, $expected_info and 24 expected"
    fi
    check "$size: $form.bmp holds the known pixels" bmp_tool same-pixels "$dir/$form.bmp" "$known"
  done

  # Both programs give from every form what they give from the plain one.
  for s in "${!tessalo_settings[@]}"; do
    read -ra words <<<"${tessalo_settings[s]}"
    for form in "${forms[@]}"; do
      out_file="$dir/$form.tessalo$s.bmp"
      check "$size: tessalo batch ${words[*]} $form.bmp" \
        run_tessalo "${words[@]}" "$dir/$form.bmp" "$out_file"
      [ "$form" = plain ] && continue
      check "$size: tessalo batch ${words[*]}: $form.bmp gives the plain form's output" \
        cmp "$dir/plain.tessalo$s.bmp" "$out_file"
    done
  done
  for p in "${!pravun_options[@]}"; do
    read -ra words <<<"${pravun_options[p]}"
    for form in "${forms[@]}"; do
      out_file="$dir/$form.pravun$p.bmp"
      check "$size: pravun $form.bmp ${words[*]}" run_pravun "$dir/$form.bmp" "${words[@]}" "$out_file"
      [ "$form" = plain ] && continue
      check "$size: pravun ${words[*]}: $form.bmp gives the plain form's sizes and pixels" \
        bmp_tool same-resized "$dir/plain.pravun$p.bmp" "$out_file"
    done
  done

  # Every output is read back.
  for form in "${forms[@]}"; do
    for s in "${!tessalo_settings[@]}"; do
      read_back "$dir/$form.tessalo$s.bmp" "$width" "$height"
    done
    for p in "${!pravun_options[@]}"; do
      read -r out_width out_height <<<"${resized_size["$size ${pravun_options[p]}"]}"
      read_back "$dir/$form.pravun$p.bmp" "$out_width" "$out_height"
    done
  done
done

# Pixels known without the programs: the resizer keeps a picture of its own
# size as it is and halves it into the means of 2 x 2 blocks.
dir="$work/40x24"
check "pravun /h40 on 40 x 24 keeps every pixel" run_pravun "$dir/magick.bmp" /h40 "$dir/same.bmp"
check "pravun /h40 on 40 x 24 keeps every pixel: pixels" bmp_tool same-pixels "$dir/same.bmp" "$dir/known.ppm"
read_back "$dir/same.bmp" 40 24
check "pravun /h20 on 40 x 24 averages 2 x 2 blocks" bmp_tool halved "$dir/plain.pravun0.bmp" "$dir/plain.bmp"

# Narrow pictures: converter widths that leave row padding of every length,
# and resizer enlargements from them.
for size in 1x4 3x7 5x5 2x9; do
  width=${size%x*}
  height=${size#*x}
  dir="$work/$size"
  mkdir -p "$dir"
  check "$size: known pixels" bmp_tool pixels "$width" "$height" "$dir/known.ppm"
  check "$size: ImageMagick's default form" \
    "$convert" "$dir/known.ppm" -type TrueColor "$dir/magick.bmp"
  for s in "${!tessalo_settings[@]}"; do
    read -ra words <<<"${tessalo_settings[s]}"
    check "$size: tessalo batch ${words[*]}" run_tessalo "${words[@]}" "$dir/magick.bmp" "$dir/tessalo$s.bmp"
    read_back "$dir/tessalo$s.bmp" "$width" "$height"
  done
done
declare -A narrow_resized=(["1x4 /h4"]="4 16" ["3x7 /v14"]="4 14" ["5x5 /h8"]="8 8" ["2x9 /m12x12 /t"]="12 12")
for job in "${!narrow_resized[@]}"; do
  size=${job%% *}
  read -ra words <<<"${job#* }"
  read -r out_width out_height <<<"${narrow_resized[$job]}"
  out_file="$work/$size/pravun${words[*]//[\/ ]/_}.bmp"
  check "$size: pravun ${words[*]}" run_pravun "$work/$size/magick.bmp" "${words[@]}" "$out_file"
  read_back "$out_file" "$out_width" "$out_height"
done

# ---- other layouts --------------------------------------------------------------
# Each file is checked to be in the layout it is meant to show. Its twin is
# Pillow's plain 24-bit BMP of the pixels Pillow reads from it; 16-bit files
# are decoded by bmp_tool instead, each level widened by repeating its high
# bits, since Pillow widens differently. Where the writer stores exactly the
# pixels it was given, the twin must hold them.
# shellcheck disable=SC2317
to_bmp_ffmpeg() { "$ffmpeg" -loglevel error -y -i "$1" -pix_fmt "$2" "$3"; }
declare -A layout_of=(
  [magick-rle8]="40 8 1" [magick-grey-rle8]="40 8 1" [magick-palette-rle8]="124 8 1"
  [magick-bmp2]="12 24 0" [pillow-rgba]="40 32 0" [pillow-p]="40 8 0" [pillow-1]="40 1 0"
  [netpbm8]="40 8 0" [netpbm4]="40 4 0" [netpbm1]="40 1 0" [netpbm-os2-8]="12 8 0"
  [netpbm-os2-24]="12 24 0" [ffmpeg565]="40 16 3" [ffmpeg555]="40 16 0" [top-down]="40 24 0")
for size in 37x23 40x24; do
  width=${size%x*}
  height=${size#*x}
  dir="$work/layouts-$size"
  mkdir -p "$dir"
  known="$work/$size/known.ppm"
  check "$size: 256 colours" bmp_tool few-colours "$width" "$height" 256 "$dir/c256.ppm"
  check "$size: 16 colours" bmp_tool few-colours "$width" "$height" 16 "$dir/c16.ppm"
  check "$size: black and white" bmp_tool few-colours "$width" "$height" 2 "$dir/c2.ppm"
  declare -A source=(
    [magick-rle8]=c256 [magick-grey-rle8]="" [magick-palette-rle8]=c256 [magick-bmp2]=known
    [pillow-rgba]=known [pillow-p]=c256 [pillow-1]=c2 [netpbm8]=c256 [netpbm4]=c16 [netpbm1]=c2
    [netpbm-os2-8]=c256 [netpbm-os2-24]=known [ffmpeg565]="" [ffmpeg555]="" [top-down]=known)
  check "$size: ImageMagick's palette default, BMP3: RLE8" \
    "$convert" "$dir/c256.ppm" -type Palette "BMP3:$dir/magick-rle8.bmp"
  check "$size: ImageMagick's grey BMP3: RLE8" \
    "$convert" "$known" -colorspace Gray -type Palette "BMP3:$dir/magick-grey-rle8.bmp"
  check "$size: ImageMagick's palette default, V5 RLE8" \
    "$convert" "$dir/c256.ppm" -type Palette "$dir/magick-palette-rle8.bmp"
  check "$size: ImageMagick's BMP2:" "$convert" "$known" "BMP2:$dir/magick-bmp2.bmp"
  check "$size: Pillow RGBA" bmp_tool pillow-mode RGBA "$known" "$dir/pillow-rgba.bmp"
  check "$size: Pillow P" bmp_tool pillow-mode P "$dir/c256.ppm" "$dir/pillow-p.bmp"
  check "$size: Pillow 1" bmp_tool pillow-mode 1 "$dir/c2.ppm" "$dir/pillow-1.bmp"
  check "$size: ppmtobmp, 256 colours" to_file "$dir/netpbm8.bmp" "$ppmtobmp" -quiet "$dir/c256.ppm"
  check "$size: ppmtobmp, 16 colours" to_file "$dir/netpbm4.bmp" "$ppmtobmp" -quiet "$dir/c16.ppm"
  check "$size: ppmtobmp, 2 colours" to_file "$dir/netpbm1.bmp" "$ppmtobmp" -quiet "$dir/c2.ppm"
  check "$size: ppmtobmp -os2, 256 colours" \
    to_file "$dir/netpbm-os2-8.bmp" "$ppmtobmp" -quiet -os2 "$dir/c256.ppm"
  check "$size: ppmtobmp -os2, 24 bits" \
    to_file "$dir/netpbm-os2-24.bmp" "$ppmtobmp" -quiet -os2 -bpp=24 "$known"
  check "$size: ffmpeg RGB565" to_bmp_ffmpeg "$known" rgb565le "$dir/ffmpeg565.bmp"
  check "$size: ffmpeg RGB555" to_bmp_ffmpeg "$known" rgb555le "$dir/ffmpeg555.bmp"
  check "$size: top-down" bmp_tool top-down "$known" "$dir/top-down.bmp"

  for form in "${!layout_of[@]}"; do
    file="$dir/$form.bmp"
    check "$size: $form.bmp layout" bmp_tool layout "$file"
    expected_height=$height
    [ "$form" = top-down ] && expected_height=-$height
    if [ "$out" = "${layout_of[$form]} $expected_height" ]; then
      pass
    else
      fail "$size: $form.bmp has the layout '$out', '${layout_of[$form]} $expected_height' expected"
    fi
    check "$size: $form.bmp twin" bmp_tool twin "$file" "$dir/$form.twin.bmp"
    if [ -n "${source[$form]}" ]; then
      pixels="$dir/${source[$form]}.ppm"
      [ "${source[$form]}" = known ] && pixels=$known
      check "$size: $form.bmp twin holds the pixels written" \
        bmp_tool same-pixels "$dir/$form.twin.bmp" "$pixels"
    fi
    for s in "${!tessalo_settings[@]}"; do
      read -ra words <<<"${tessalo_settings[s]}"
      check "$size: tessalo batch ${words[*]} $form.bmp" \
        run_tessalo "${words[@]}" "$file" "$dir/$form.tessalo$s.bmp"
      check "$size: tessalo batch ${words[*]} $form.twin.bmp" \
        run_tessalo "${words[@]}" "$dir/$form.twin.bmp" "$dir/$form.twin.tessalo$s.bmp"
      check "$size: tessalo batch ${words[*]}: $form.bmp gives its twin's output" \
        cmp "$dir/$form.twin.tessalo$s.bmp" "$dir/$form.tessalo$s.bmp"
    done
    for p in "${!pravun_options[@]}"; do
      read -ra words <<<"${pravun_options[p]}"
      check "$size: pravun $form.bmp ${words[*]}" \
        run_pravun "$file" "${words[@]}" "$dir/$form.pravun$p.bmp"
      check "$size: pravun $form.twin.bmp ${words[*]}" \
        run_pravun "$dir/$form.twin.bmp" "${words[@]}" "$dir/$form.twin.pravun$p.bmp"
      check "$size: pravun ${words[*]}: $form.bmp gives its twin's sizes and pixels" \
        bmp_tool same-resized "$dir/$form.twin.pravun$p.bmp" "$dir/$form.pravun$p.bmp"
    done
  done
done

# ---- PNG and JPEG ------------------------------------------------------------
# The kinds: each one's file made from the known pixels, and what identify
# must see in it (PNG: colour type, bit depth, interlacing; JPEG: sampling
# factors, colour space, interlacing).
# shellcheck disable=SC2317
make_photo() {
  local kind=$1 known=$2 file=$3
  case $kind in
    magick-rgb.png) "$convert" "$known" "PNG24:$file" ;;
    magick-rgb16.png) "$convert" "$known" -depth 16 "PNG48:$file" ;;
    magick-rgba16.png) "$convert" "$known" -alpha set -channel A -evaluate set 60% +channel "PNG64:$file" ;;
    magick-palette.png) "$convert" "$known" "PNG8:$file" ;;
    magick-grey.png) "$convert" "$known" -colorspace Gray "$file" ;;
    magick-grey16.png) "$convert" "$known" -colorspace Gray -depth 16 "$file" ;;
    magick-interlaced.png) "$convert" "$known" -interlace PNG "PNG24:$file" ;;
    pillow-*.png) bmp_tool pillow-photo "$(basename "${kind#pillow-}" .png)" "$known" "$file" ;;
    magick-420.jpg) "$convert" "$known" -sampling-factor 2x2 "$file" ;;
    magick-444.jpg) "$convert" "$known" -sampling-factor 1x1 "$file" ;;
    magick-progressive.jpg) "$convert" "$known" -interlace JPEG "$file" ;;
    magick-grey.jpg) "$convert" "$known" -colorspace Gray "$file" ;;
    magick-ycck.jpg) "$convert" "$known" -colorspace CMYK "$file" ;;
    pillow-*.jpg) bmp_tool pillow-photo "$(basename "${kind#pillow-}" .jpg)" "$known" "$file" ;;
    cjpeg-420.jpg) to_file "$file" "$cjpeg" -sample 2x2 "$known" ;;
    cjpeg-422.jpg) to_file "$file" "$cjpeg" -sample 2x1 "$known" ;;
    cjpeg-440.jpg) to_file "$file" "$cjpeg" -sample 1x2 "$known" ;;
    cjpeg-444.jpg) to_file "$file" "$cjpeg" -sample 1x1 "$known" ;;
    cjpeg-grey.jpg) to_file "$file" "$cjpeg" -grayscale "$known" ;;
    cjpeg-rgb.jpg) to_file "$file" "$cjpeg" -rgb "$known" ;;
    cjpeg-progressive.jpg) to_file "$file" "$cjpeg" -progressive "$known" ;;
    cjpeg-arithmetic.jpg) to_file "$file" "$cjpeg" -arithmetic "$known" ;;
    cjpeg-restart.jpg) to_file "$file" "$cjpeg" -restart 1 "$known" ;;
  esac
}
declare -A photo_holds=(
  [magick-rgb.png]="2 8 None" [magick-rgb16.png]="2 16 None" [magick-rgba16.png]="6 16 None"
  [magick-palette.png]="3 8 None" [magick-grey.png]="0 8 None" [magick-grey16.png]="0 16 None"
  [magick-interlaced.png]="2 8 PNG" [pillow-1.png]="0 1 None" [pillow-L.png]="0 8 None"
  [pillow-LA.png]="4 8 None" [pillow-P.png]="3 8 None" [pillow-RGB.png]="2 8 None"
  [pillow-RGBA.png]="6 8 None" [pillow-I16.png]="0 16 None"
  [magick-420.jpg]="2x2,1x1,1x1 2 None" [magick-444.jpg]="1x1,1x1,1x1 2 None"
  [magick-progressive.jpg]="1x1,1x1,1x1 2 JPEG" [magick-grey.jpg]="1x1 1 None"
  [magick-ycck.jpg]="1x1,1x1,1x1,1x1 4 None" [pillow-420.jpg]="2x2,1x1,1x1 2 None"
  [pillow-422.jpg]="2x1,1x1,1x1 2 None" [pillow-444.jpg]="1x1,1x1,1x1 2 None"
  [pillow-progressive.jpg]="2x2,1x1,1x1 2 JPEG" [pillow-L.jpg]="1x1 1 None"
  [pillow-CMYK.jpg]="1x1,1x1,1x1,1x1 4 None" [cjpeg-420.jpg]="2x2,1x1,1x1 2 None"
  [cjpeg-422.jpg]="2x1,1x1,1x1 2 None" [cjpeg-440.jpg]="1x2,1x1,1x1 2 None"
  [cjpeg-444.jpg]="1x1,1x1,1x1 2 None" [cjpeg-grey.jpg]="1x1 1 None"
  [cjpeg-rgb.jpg]="1x1,1x1,1x1 2 None" [cjpeg-progressive.jpg]="2x2,1x1,1x1 2 JPEG"
  [cjpeg-arithmetic.jpg]="2x2,1x1,1x1 2 None" [cjpeg-restart.jpg]="2x2,1x1,1x1 2 None")
for orientation in 1 2 3 4 5 6 7 8; do
  photo_holds[pillow-orientation$orientation.jpg]="2x2,1x1,1x1 2 None"
done
for size in 37x23 40x24; do
  dir="$work/photos-$size"
  mkdir -p "$dir"
  known="$work/$size/known.ppm"
  for kind in "${!photo_holds[@]}"; do
    file="$dir/$kind"
    twin="$dir/$kind.twin.bmp"
    check "$size: $kind" make_photo "$kind" "$known" "$file"
    if [ "${kind##*.}" = png ]; then
      format='%[png:IHDR.color-type-orig] %[png:IHDR.bit-depth-orig] %[interlace]'
    else
      format='%[jpeg:sampling-factor] %[jpeg:colorspace] %[interlace]'
    fi
    check "$size: $kind holds" "$identify" -format "$format" "$file"
    if [ "$out" = "${photo_holds[$kind]}" ]; then
      pass
    else
      fail "$size: $kind holds '$out', '${photo_holds[$kind]}' expected"
    fi
    orient=()
    case $kind in *orientation*) orient=(-auto-orient) ;; esac
    check "$size: $kind twin" "$convert" "$file" "${orient[@]}" -type truecolor "BMP3:$twin"
    for s in "${!tessalo_settings[@]}"; do
      read -ra words <<<"${tessalo_settings[s]}"
      check "$size: tessalo batch ${words[*]} $kind" \
        run_tessalo "${words[@]}" "$file" "$file.tessalo$s.bmp"
      check "$size: tessalo batch ${words[*]} $kind twin" \
        run_tessalo "${words[@]}" "$twin" "$twin.tessalo$s.bmp"
      check "$size: tessalo batch ${words[*]}: $kind gives its twin's output" \
        cmp "$twin.tessalo$s.bmp" "$file.tessalo$s.bmp"
    done
    for p in "${!pravun_options[@]}"; do
      read -ra words <<<"${pravun_options[p]}"
      check "$size: pravun $kind ${words[*]}" run_pravun "$file" "${words[@]}" "$file.pravun$p.bmp"
      check "$size: pravun $kind twin ${words[*]}" \
        run_pravun "$twin" "${words[@]}" "$twin.pravun$p.bmp"
      check "$size: pravun ${words[*]}: $kind gives its twin's sizes and pixels" \
        bmp_tool same-resized "$twin.pravun$p.bmp" "$file.pravun$p.bmp"
    done
  done
done

finish
