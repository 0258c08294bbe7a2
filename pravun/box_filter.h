// The box filter: every target pixel is the area-weighted mean of the source
// pixels under its footprint, computed first along each source row, then
// across the rows, in unsigned fixed point with 8 fractional bits.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry.h"

// Fixed-point sizes, in 1/256 of a source pixel, and their normalisers.
struct ResizeSteps {
    std::uint32_t stepX = 0; // width of one target pixel's footprint
    std::uint32_t stepY = 0; // height of one target pixel's footprint
    std::uint32_t gainX = 0; // about 65536 / stepX, truncated
    std::uint32_t gainY = 0; // about 65536 / stepY, truncated
};

ResizeSteps resizeSteps(std::uint32_t inputWidth, std::uint32_t inputHeight,
                        const ResizeGeometry& geometry);

// The source columns (or rows) under one target column (or row): from first
// to last, the two ends weighing firstWeight and lastWeight in 1/256 of a
// pixel and every pixel between them a whole 256. When first equals last the
// one pixel weighs firstWeight, the whole step.
struct Footprint {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint32_t firstWeight = 0;
    std::uint32_t lastWeight = 0;
};

bool operator==(const Footprint& a, const Footprint& b);

// The footprint of target index t for a step of `step` (at least 1).
Footprint footprint(std::uint32_t step, std::uint32_t t);

// Footprints of target columns skipColumns to skipColumns + cropWidth - 1.
std::vector<Footprint> columnFootprints(const ResizeSteps& steps, const ResizeGeometry& geometry);

// The horizontal pass over one source row (blue, green, red bytes): for
// every written target column the weighted sum along the row, normalised by
// gainX, three bytes per column.
void normaliseRow(const std::uint8_t* sourceRow, const std::vector<Footprint>& columns,
                  std::uint32_t gainX, std::uint8_t* normalisedRow);

// The vertical pass: adds a normalised row, times its weight, to the pixel
// sums of one target row; `first` starts the sums afresh.
void addWeightedRow(const std::uint8_t* normalisedRow, std::uint32_t weight, bool first,
                    std::vector<std::uint32_t>& pixelSums);

// The pixel sums normalised by gainY: the bytes of one target row.
void finishRow(const std::vector<std::uint32_t>& pixelSums, std::uint32_t gainY,
               std::uint8_t* targetRow);

// The exact mean over the same footprints, with no rounding between the two
// directions: every target channel is floor((sum + S/2) / S), where sum adds
// the source values times their column weight times their row weight and
// S = stepX x stepY, the weights' total. A flat picture keeps its value.

// The horizontal pass: for every written target column the weighted sums
// along the row, unnormalised, blue, green and red (3 per column).
void sumRow(const std::uint8_t* sourceRow, const std::vector<Footprint>& columns,
            std::uint32_t* rowSums);

// The vertical pass: adds a row's sums times its weight (at most 65536) to
// the 64-bit sums of one target row, at most 255 x 2^32 each; `first` starts
// them afresh.
void addWeightedSums(const std::uint32_t* rowSums, std::uint32_t weight, bool first,
                     std::vector<std::uint64_t>& pixelSums);

// The sums divided by area = stepX x stepY, rounded half up: one target row.
void finishExactRow(const std::vector<std::uint64_t>& pixelSums, std::uint64_t area,
                    std::uint8_t* targetRow);
