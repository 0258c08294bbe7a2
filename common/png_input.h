// PNG pictures decoded with libspng, row by row, into a plain 24-bit BMP.
//
// Every colour type and bit depth gives the pixels that ImageMagick's
// `convert IN -type truecolor BMP3:OUT` gives: samples of fewer than 8 bits
// are scaled to 8 (a 4-bit v gives v x 17), 16-bit samples are rounded to 8
// bits as (v x 255 + 32895) >> 16, a palette index takes its entry's colour,
// grey becomes equal blue, green and red, and alpha (an alpha channel or a
// tRNS chunk) is dropped, keeping the colour under it. Gamma (gAMA), colour
// profiles (iCCP, sRGB) and significant bits (sBIT) are not applied.
// Interlaced (Adam7) pictures are put together in the file itself: each
// pass's row is merged into the row written so far.
#pragma once

#include <cstdio>
#include <string>

#include "binary_file.h"

// Decodes the PNG picture that source holds, from its start, into the
// temporary file. Returns "" or the one-line refusal: a damaged or truncated
// file (libspng's reason), or a picture too wide for the memory allowed.
// Every chunk up to IEND is read and checked.
[[nodiscard]] std::string decodePng(std::FILE* source, BinaryFile& temporary);
