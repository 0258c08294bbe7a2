// Loading: one file row read and each of its pixels turned into one luma and
// two chroma samples by the YJK or the YUV transform.
#pragma once

#include <cstdint>

#include "binary_file.h"
#include "sample_rows.h"
#include "settings.h"

// Reads plane row y (file row height - 1 - y) into `stored`, one padded file
// row, and converts its pixels into the row's slot of `rows`.
void loadRow(BinaryFile& input, const ConverterSettings& settings, const PictureGeometry& geometry,
             std::int32_t y, std::uint8_t* stored, SampleRows& rows);
