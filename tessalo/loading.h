// Loading: every file row read once, each pixel turned into one luma and two
// chroma samples by the YJK or the YUV transform.
#pragma once

#include "binary_file.h"
#include "planes.h"
#include "settings.h"

void loadPicture(BinaryFile& input, const ConverterSettings& settings,
                 const PictureGeometry& geometry, ConverterPlanes& planes);
