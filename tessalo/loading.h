// Loading: one file row read and each of its pixels turned into one luma and
// two chroma samples by the YJK or the YUV transform.
#pragma once

#include <cstdint>

#include "picture_rows.h"
#include "sample_rows.h"
#include "settings.h"

// Reads plane row y (picture row height - 1 - y counted from the bottom) as
// 24-bit pixels into `pixels` and converts them into the row's slot of
// `rows`. Returns "" or the one-line refusal of a row that cannot be read.
std::string loadRow(PictureRows& input, const ConverterSettings& settings,
                    const PictureGeometry& geometry, std::int32_t y, std::uint8_t* pixels,
                    SampleRows& rows);
