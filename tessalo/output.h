// Reconstruction and output: the masked samples turned back into R, G, B,
// clamped, optionally cut to the V9958 DAC's 5 bits, and written as a BMP.
#pragma once

#include "binary_file.h"
#include "colour.h"
#include "dialogue.h"
#include "planes.h"
#include "quantising.h"
#include "settings.h"

// Clamps to 0..255 (red, then green, then blue) and, with the DAC filter,
// keeps the 5 high bits of each.
Rgb clampAndFilter(Rgb colour, bool dacFilter);

// Runs the conversion pass and writes the preview to settings.outFile; a
// failure to write ends the program with one line and status 1.
void writePreview(Dialogue& dialogue, const ConverterSettings& settings,
                  const PictureGeometry& geometry, ConverterPlanes& planes);
