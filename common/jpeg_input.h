// JPEG pictures decoded with libjpeg (libjpeg-turbo) into a plain 24-bit
// BMP, row by row, turned upright by their EXIF orientation.
//
// libjpeg's default decoding (the accurate integer transform, smooth
// chroma upsampling) gives the pixels of ImageMagick's `convert IN -type
// truecolor BMP3:OUT` for every chroma subsampling, grey, progressive and
// arithmetic-coded pictures and restart markers. CMYK and YCCK pictures
// hold inks the Adobe way, 255 meaning no ink: red is (C x K + 127) / 255,
// green and blue likewise from M and Y. Unlike `convert`, the EXIF
// orientation is applied (all eight), so a portrait photo stays upright.
//
// A progressive or multi-scan picture is held whole as coefficients, two
// bytes for each of the 64 in an 8 x 8 block of each component: 3 bytes a
// pixel at 4:2:0, 6 at 4:4:4. They may take up to jpegCoefficientCap,
// about 67 megapixels at 4:2:0 and 33 at 4:4:4; larger ones are refused.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "binary_file.h"

constexpr std::uint64_t jpegCoefficientCap = std::uint64_t(192) << 20; // 192 MiB

// Decodes the JPEG picture that source holds, from its start, into the
// temporary file. Returns "" or the one-line refusal: a damaged or
// truncated file (libjpeg's reason), a picture too wide for the memory
// allowed, or one in several scans beyond the cap.
[[nodiscard]] std::string decodeJpeg(std::FILE* source, BinaryFile& temporary);
