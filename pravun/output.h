// Resampling and output: the input streamed row by row through the box
// filter, the written part of the resized picture stored as a 24-bit BMP.
#pragma once

#include <string>

#include "binary_file.h"
#include "bmp_header.h"
#include "dialogue.h"
#include "geometry.h"
#include "picture_rows.h"

// Writes the resized picture of the rows that `input` reads to outputPath,
// replacing an existing file only once the new one is complete. A failure to
// read or write ends the program with one line and status 1.
void writeResizedPicture(Dialogue& dialogue, PictureRows& input, const ResizeGeometry& geometry,
                         const std::string& outputPath);
