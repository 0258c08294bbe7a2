// Quantisation and dithering of one pixel's samples: checkerboard dithering
// (level 1) or error diffusion (level 2), chosen separately for luma and
// chroma, then AND-masking to the chosen bit depths.
#pragma once

#include "colour.h"
#include "planes.h"
#include "settings.h"

// Adds error x weight / 16, rounded down, to a cell, clamped at 255.
void addShare(std::uint8_t& cell, int error, int weight);

// The pixel (x, y) of the pass, which runs from y = height - 1 down to 0 and
// from x = 0 up; sy = y >> vShift. Level-2 dithering spreads the error into
// the cells the pass reads later.
Samples quantisePixel(const ConverterSettings& settings, ConverterPlanes& planes, std::int32_t x,
                      std::int32_t y, std::int32_t sy);
