// Quantisation and dithering of one pixel's samples: checkerboard dithering
// (level 1) or error diffusion (level 2), chosen separately for luma and
// chroma, then AND-masking to the chosen bit depths.
#pragma once

#include <cstdint>

#include "settings.h"

struct MaskedSamples {
    int y; // luma
    int a; // first chroma, biased
    int b; // second chroma, biased
};

// The cells that the pixels of one pass row read and spread error into. The
// pass runs from y = height - 1 down to 0, so the row it visits next is
// y - 1 and the block row it visits next is sy - 1.
struct PassRow {
    std::int32_t y = 0;
    std::int32_t sy = 0;                 // y >> vShift
    bool blockRowStarts = false;         // y is the block row's largest: chroma error spreads here
    std::int32_t lastX = 0;              // width - 1
    std::int32_t lastSx = 0;             // subWidth - 1
    std::uint8_t* luma = nullptr;        // row y
    std::uint8_t* lumaNext = nullptr;    // row y - 1; null on row 0
    std::uint8_t* chromaA = nullptr;     // block row sy of the averaged first chroma
    std::uint8_t* chromaANext = nullptr; // block row sy - 1; null when sy is 0
    std::uint8_t* chromaB = nullptr;     // the same for the second chroma
    std::uint8_t* chromaBNext = nullptr;
};

// Adds error x weight / 16, rounded down, to a cell, clamped at 255.
void addShare(std::uint8_t& cell, int error, int weight);

// Pixel x of the pass row. Level-2 dithering spreads the error into the
// cells the pass reads later.
MaskedSamples quantisePixel(const ConverterSettings& settings, const PassRow& row, std::int32_t x);
