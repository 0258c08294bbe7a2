// The resize pass: the input streamed row by row through the box filter, the
// written part of the resized picture stored as a 24-bit BMP.
#pragma once

#include <string>

#include "binary_file.h"
#include "bmp_header.h"
#include "geometry.h"
#include "picture_rows.h"

// Writes the resized picture of the rows that `input` reads into the opened
// output, each channel the box filter's fixed-point mean, or with exactMean
// the exact mean rounded half up. Returns "" or the one-line refusal of a run-length input too wide
// to hold in memory (before anything is written) or of a row that cannot be
// read; read and write errors are kept in the files' records, and the caller
// checks them and commits the output. A failed allocation throws
// std::bad_alloc.
[[nodiscard]] std::string writeResizedPicture(PictureRows& input, const ResizeGeometry& geometry,
                                              bool exactMean, BinaryFile& output);
