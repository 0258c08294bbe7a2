// Pictures written as PNG files. An output name ending in .png (any case)
// gets a PNG instead of a BMP: the program writes its plain 24-bit BMP into
// an unnamed temporary file as it always does, then its rows, top row first,
// become an 8-bit RGB PNG encoded by libspng into the output. Memory grows
// with the width only.
#pragma once

#include <string>

#include "binary_file.h"

// Whether a name asks for a PNG: it ends in .png, in any case.
bool isPngName(const std::string& fileName);

// Encodes the plain bottom-up 24-bit BMP that `bmp` holds (header and rows
// as the programs write them) as a PNG into `output`. Gives "" or the
// one-line refusal; write errors are kept in the output's record, as for
// every put.
[[nodiscard]] std::string copyBmpAsPng(BinaryFile& bmp, BinaryFile& output);
