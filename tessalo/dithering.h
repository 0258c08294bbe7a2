// Quantisation and dithering of one pixel's samples: checkerboard dithering
// (level 1) or error diffusion (level 2), chosen separately for luma and
// chroma, then AND-masking to the chosen bit depths.
#pragma once

#include <cstdint>

#include "settings.h"

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

// Pass row y of a picture width pixels and subWidth block columns wide:
// its block row, whether that block row starts there, and its last pixel and
// block column. The caller points it at its cells.
PassRow passRowAt(const ConverterSettings& settings, std::int32_t y, std::int32_t width,
                  std::int32_t subWidth);

// Every share of error is error x weight / 16, rounded down: the error is
// never negative (masking only clears bits), so the shift by 4 is a plain
// division, and a cell can only rise, up to 255.

// The masked luma of every pixel of the pass row. With level-2 dithering
// each pixel's error is spread into the pixels the pass reads later: 7/16
// to the right on this row, 1/16, 5/16 and 3/16 below right, below and
// below left on row y - 1.
void quantiseLumaRow(const ConverterSettings& settings, const PassRow& row, std::uint8_t* masked);

// The masked chroma of the first blockCount block columns on the pass row.
// Every pixel of a block on this row shares them: nothing changes a block's
// cells between its pixels. With level-2 dithering each block spreads its
// error once, on the first of its rows that the pass visits.
void quantiseChromaRow(const ConverterSettings& settings, const PassRow& row,
                       std::int32_t blockCount, std::uint8_t* maskedA, std::uint8_t* maskedB);
