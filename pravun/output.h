// Resampling and output: the input streamed row by row through the box
// filter, the written part of the resized picture stored as a 24-bit BMP.
#pragma once

#include <string>

#include "binary_file.h"
#include "bmp_header.h"
#include "geometry.h"

// Writes the resized picture into the opened output. Errors are kept in the
// files' records; the caller checks them and commits the output.
void writeResizedPicture(BinaryFile& input, const BmpHeader& header, const ResizeGeometry& geometry,
                         BinaryFile& output);
