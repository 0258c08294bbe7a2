// Loading: every file row read once, each pixel turned into one luma and two
// chroma samples by the YJK or the YUV transform.
#pragma once

#include "picture_rows.h"
#include "planes.h"
#include "settings.h"

// The samples of one pixel as stored in the planes.
struct StoredSamples {
    std::uint8_t y; // luma
    std::uint8_t a; // first chroma, biased
    std::uint8_t b; // second chroma, biased
};

StoredSamples yjkFromRgb(int red, int green, int blue);
StoredSamples yuvFromRgb(int red, int green, int blue);

// Returns "" or the one-line refusal of a row that could not be read.
std::string loadPicture(PictureRows& input, const ConverterSettings& settings,
                        const PictureGeometry& geometry, ConverterPlanes& planes);
